// Intervals that carry the estimates' uncertainty (projector --intervals full)
// and the projections of a random-locals fit, against independent
// computations: the dense inverse of a difference Hessian of the whole fit,
// and the population's height distribution integrated numerically.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "bench/simulation.hpp"
#include "model/likelihood.hpp"
#include "model/models.hpp"
#include "projector/curve_draws.hpp"
#include "projector/drawn_projection.hpp"
#include "projector/plot_pass.hpp"
#include "projector/power_scale.hpp"
#include "projector/run_results.hpp"
#include "support/csv_table.hpp"
#include "support/program.hpp"
#include "support/temp_dir.hpp"

namespace {

constexpr int kPlots = 40;

// Model 1 (globals b, c, sigma_p, sigma_e; a local asymptote) simulated,
// prepared and fitted with fixed locals; the results and the fit's plots.
struct FixedFit {
  TempDir dir;
  projector::RunResults run;
  std::vector<projector::PlotData> plots;

  FixedFit() {
    bench::SimulationSettings s;
    s.model = 1;
    s.globals = {0.15, 0.7, 0.2, 0.05};
    s.locals = {{3.0, 0.4}};
    s.plots = kPlots;
    s.measurements = 6;
    s.seed = 3;
    s.tol = 1e-10;
    {
      std::unique_ptr<std::FILE, int (*)(std::FILE*)> raw(std::fopen((dir / "sim.txt").c_str(), "w"), std::fclose);
      bench::write_raw_data(s, raw.get());
    }
    const ProgramResult prep =
        run_preparer({dir / "sim.txt", dir / "sim.dat", dir / "sim.loc"}, bench::preparer_answers(s));
    EXPECT_EQ(prep.status, 0) << prep.err;
    dir.write("sim.ctl", bench::control_file(s));
    const ProgramResult fit =
        run_estimator({dir / "sim.ctl", dir / "sim.dat", dir / "sim.loc", dir / "sim.rep", "--json", dir / "sim.json"});
    EXPECT_EQ(fit.status, 0) << fit.err;
    run = projector::read_run_results(dir / "sim.json");
    projector::for_each_plot(run, {dir / "sim.dat", dir / "sim.loc"}, false,
                             [&](const projector::PlotData& plot) { plots.push_back(plot); });
  }
};

// The total objective's Hessian in x = (globals, a_1 .. a_P) by central
// differences of the plot objective, assembled plot by plot.
Eigen::MatrixXd difference_hessian(const projector::RunResults& run, const std::vector<projector::PlotData>& plots) {
  const int ng = run.ng, n = ng + static_cast<int>(plots.size());
  Eigen::MatrixXd h = Eigen::MatrixXd::Zero(n, n);
  for (std::size_t p = 0; p < plots.size(); ++p) {
    const projector::PlotData& plot = plots[p];
    // The plot's own variables: the globals and its asymptote.
    std::array<double, 5> x0{};
    for (int k = 0; k < ng; ++k) x0[static_cast<std::size_t>(k)] = run.globals[static_cast<std::size_t>(k)];
    x0[4] = plot.locals[0];
    const auto f = [&](const std::array<double, 5>& x) {
      model::Globals g{};
      model::Locals l{};
      std::copy_n(x.begin(), ng, g.begin());
      l[0] = x[4];
      model::Curve curve{};
      model::trpars(run.esde, g, l, curve);
      return model::funct(curve, plot.n, plot.ages.data(), plot.heights.data());
    };
    const auto index = [&](int i) { return i < ng ? i : ng + static_cast<int>(p); };
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j <= i; ++j) {
        const double hi = 1e-4 * std::fmax(1.0, std::fabs(x0[static_cast<std::size_t>(i)]));
        const double hj = 1e-4 * std::fmax(1.0, std::fabs(x0[static_cast<std::size_t>(j)]));
        double d = 0.0;
        for (const auto& [si, sj, sign] : {std::tuple{1, 1, 1.0}, {1, -1, -1.0}, {-1, 1, -1.0}, {-1, -1, 1.0}}) {
          std::array<double, 5> x = x0;
          x[static_cast<std::size_t>(i)] += si * hi;
          x[static_cast<std::size_t>(j)] += sj * hj;
          d += sign * f(x);
        }
        d /= 4.0 * hi * hj;
        h(index(i), index(j)) += d;
        if (index(i) != index(j)) h(index(j), index(i)) += d;
      }
  }
  return h;
}

// With fixed locals the draws of a plot's asymptote and the globals have the
// covariance 2 H^-1 of the whole fit (the plot's block and its cross blocks),
// here against the dense inverse of a difference Hessian over all 44
// parameters; sample covariances of 40000 draws, within 0.05 in units of the
// two standard deviations (about 7 Monte Carlo standard errors).
TEST(FullIntervals, FixedLocalsDrawsHaveTheInverseHessiansCovariance) {
  const FixedFit fit;
  ASSERT_EQ(fit.plots.size(), static_cast<std::size_t>(kPlots));
  ASSERT_EQ(fit.run.uncertain, 4);
  const Eigen::MatrixXd cov = 2.0 * difference_hessian(fit.run, fit.plots).inverse();
  // The results file's covariance of the globals is the same block.
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      EXPECT_NEAR(fit.run.covariance[static_cast<std::size_t>(i * 10 + j)], cov(i, j),
                  1e-3 * std::sqrt(cov(i, i) * cov(j, j)));
  projector::CurveDraws draws(fit.run, true);
  constexpr int kDraws = 40000;
  // Variables: b, c, sigma_p, sigma_e (curve positions), then the asymptote.
  const std::array<int, 5> position = {model::kCurveB, model::kCurveC, model::kCurveSp, model::kCurveSe,
                                       model::kCurveA};
  for (const std::size_t p : {std::size_t{0}, std::size_t{17}}) {
    ASSERT_EQ(draws.start(fit.plots[p]), "");
    projector::NormalStream z(11 + p);
    Eigen::MatrixXd x(kDraws, 5);
    model::Curve curve{};
    for (int k = 0; k < kDraws; ++k) {
      draws.draw(z, curve);
      for (int v = 0; v < 5; ++v) x(k, v) = curve[static_cast<std::size_t>(position[static_cast<std::size_t>(v)])];
    }
    const Eigen::RowVectorXd mean = x.colwise().mean();
    const Eigen::MatrixXd centred = x.rowwise() - mean;
    const Eigen::MatrixXd sample = centred.transpose() * centred / (kDraws - 1.0);
    const auto var = [&](int v) { return v < 4 ? v : 4 + static_cast<int>(p); };
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j <= i; ++j) {
        const double expected = cov(var(i), var(j)), scale = std::sqrt(cov(var(i), var(i)) * cov(var(j), var(j)));
        EXPECT_NEAR(sample(i, j), expected, 0.05 * scale) << "plot " << p + 1 << " (" << i << ", " << j << ")";
      }
    // The locals' cross-covariance with the globals matters here: the
    // asymptote and c are clearly correlated.
    EXPECT_GT(std::fabs(cov(4 + static_cast<int>(p), 1)) /
                  std::sqrt(cov(4 + static_cast<int>(p), 4 + static_cast<int>(p)) * cov(1, 1)),
              0.2);
  }
}

// The population's height distribution of a one-local fit at age t: the
// mixture over the asymptotes a ~ Normal(mu, s^2) of the state's Normal given
// a, integrated by the trapezoidal rule over mu +- 7 s (where a stays positive).
double population_cdf(const projector::RunResults& run, double t, double h) {
  const boost::math::normal_distribution<double> normal;
  const double mu = run.phi[static_cast<std::size_t>(run.ng)], s = std::exp(run.phi[static_cast<std::size_t>(run.ng + 1)]);
  constexpr int kSteps = 4000;
  double sum = 0.0, weights = 0.0;
  for (int k = 0; k <= kSteps; ++k) {
    const double u = -7.0 + 14.0 * k / kSteps, w = std::exp(-0.5 * u * u) * (k == 0 || k == kSteps ? 0.5 : 1.0);
    model::Curve c{};
    model::trpars(run.esde, run.globals, model::Locals{mu + s * u}, c);
    const projector::PowerScale scale = projector::power_scale(c);
    const double e = std::exp(-c[model::kCurveB] * (t - c[model::kCurveT0]));
    const double mean = e * (c[model::kCurveY0] - scale.ac) / c[model::kCurveC];
    const double var =
        e * e * c[model::kCurveS0] * c[model::kCurveS0] + (1.0 - e * e) * c[model::kCurveSp] * c[model::kCurveSp];
    sum += w * boost::math::cdf(normal, (scale.state(h) - mean) / std::sqrt(var));
    weights += w;
  }
  return sum / weights;
}

// A plot without measurements of a random-locals fit gets the population
// curve: its heights' quantiles over the draws are those of the mixture over
// the population of asymptotes, here integrated numerically (the state is
// Normal given the asymptote; trapezoidal rule over mu +- 7 sd, where the asymptotes stay positive).
TEST(FullIntervals, RandomLocalsPlotWithoutMeasurementsFollowsThePopulation) {
  projector::RunResults run;
  run.esde = model::Esde{.k1 = 1.0, .k2 = 1.0, .model = 1};
  run.ng = 4;
  run.nl = 1;
  run.random_locals = true;
  run.nodes_per_local = 1;
  run.outer = 6;
  run.phi = {0.15, 0.7, 0.2, 0.05, 3.0, std::log(0.4)};
  std::copy_n(run.phi.begin(), 4, run.globals.begin());
  projector::PlotData plot;
  plot.position = 5;
  plot.n = 0;
  projector::CurveDraws draws(run, false);
  ASSERT_EQ(draws.start(plot), "");
  constexpr int kDraws = 40000;
  const std::vector<double> ages = {4.0, 20.0};
  projector::DrawnProjection drawn(kDraws, 0.9, 2);
  auto out = std::make_unique<projector::PlotProjection>();
  drawn.project(draws, plot, 2, ages.data(), *out);

  const auto cdf = [&](double t, double h) { return population_cdf(run, t, h); };
  for (std::size_t j = 0; j < ages.size(); ++j) {
    const projector::HeightInterval& h = out->at_ages[j].height;
    ASSERT_TRUE(std::isfinite(h.lower) && std::isfinite(h.median) && std::isfinite(h.upper))
        << h.lower << " " << h.median << " " << h.upper;
    EXPECT_NEAR(cdf(ages[j], h.lower), 0.05, 0.006) << "age " << ages[j];
    EXPECT_NEAR(cdf(ages[j], h.median), 0.5, 0.012) << "age " << ages[j];
    EXPECT_NEAR(cdf(ages[j], h.upper), 0.95, 0.006) << "age " << ages[j];
  }
}

ProgramResult run_projector(const std::vector<std::string>& args) { return run_program(PROJECTOR_PATH, args); }

// A random-locals fit of the loblolly data: a plot given again as a new plot
// gets the fitted plot's conditional distribution (the same projections, to
// rounding: the draws are seeded by the plot's place), and the conditional
// mean of its locals is the fit's (the --plots table's mode and deviation).
// Full intervals are wider than those with the estimates held, and a plot of
// one measurement is projected too.
TEST(FullIntervals, RandomLocalsNewPlotEqualToAFittedPlot) {
  const TempDir dir;
  const std::string examples = std::filesystem::path(LOBLOLLY_DATA).parent_path().parent_path();
  const ProgramResult prep =
      run_preparer({LOBLOLLY_DATA, dir / "m1.dat", dir / "m1.loc"}, read_text(examples + "/loblolly-model1.answers"));
  ASSERT_EQ(prep.status, 0) << prep.err;
  const ProgramResult fit =
      run_estimator({examples + "/loblolly-model1.ctl", dir / "m1.dat", dir / "m1.loc", dir / "m1.rep",
                     "--random-locals", "--json", dir / "m1.json", "--plots", dir / "m1.csv"});
  ASSERT_EQ(fit.status, 0) << fit.err;
  const std::vector<std::string> common = {"--ages", "5,15,30", "--base-age", "25", "--draws", "500"};
  std::vector<std::string> fitted = {dir / "m1.json", dir / "m1.dat", dir / "m1.loc", "--projections", dir / "f.csv"};
  std::vector<std::string> fresh = {dir / "m1.json", "--new-data",   LOBLOLLY_DATA,
                                    "--projections", dir / "n.csv", "--new-locals", dir / "nl.csv"};
  std::vector<std::string> held = fitted;
  held.back() = dir / "h.csv";
  for (auto* args : {&fitted, &fresh, &held}) {
    args->insert(args->end(), common.begin(), common.end());
    if (args != &held) args->insert(args->end(), {"--intervals", "full"});
    const ProgramResult r = run_projector(*args);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const CsvTable f = read_csv(dir / "f.csv"), n = read_csv(dir / "n.csv"), h = read_csv(dir / "h.csv");
  ASSERT_EQ(f.names, n.names);
  EXPECT_EQ(f.names.at(3), "median_full");
  EXPECT_EQ(h.names.at(3), "median");
  ASSERT_EQ(f.rows.size(), 14u * 3u);
  ASSERT_EQ(n.rows.size(), f.rows.size());
  double full_width = 0.0, held_width = 0.0;
  for (std::size_t k = 0; k < f.rows.size(); ++k) {
    for (std::size_t c = 0; c < f.names.size(); ++c)
      EXPECT_NEAR(n.rows[k][c], f.rows[k][c], 1e-8 * (1.0 + std::fabs(f.rows[k][c]))) << f.names[c] << " row " << k;
    full_width += f.at(k, "upper_full") - f.at(k, "lower_full");
    held_width += h.at(k, "upper") - h.at(k, "lower");
  }
  EXPECT_GT(full_width, 1.2 * held_width);

  // The guide curves are the population's: with the new plots alone, the
  // curve figure is the one drawn with the run's own plots.
  std::vector<std::string> own = {dir / "m1.json", dir / "m1.dat", dir / "m1.loc", "--curve-figure", dir / "c1.svg"};
  std::vector<std::string> alone = {dir / "m1.json", "--new-data", LOBLOLLY_DATA, "--curve-figure", dir / "c2.svg"};
  for (auto* args : {&own, &alone}) {
    args->insert(args->end(), common.begin(), common.end());
    const ProgramResult r = run_projector(*args);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  EXPECT_EQ(read_text(dir / "c2.svg"), read_text(dir / "c1.svg"));

  // One measurement per plot is enough (its first): finite intervals, wider
  // at the last age than those of the plot measured six times.
  std::stringstream raw(read_text(LOBLOLLY_DATA)), first;
  std::set<std::string> seen;
  for (std::string line; std::getline(raw, line);)
    if (seen.insert(line.substr(0, line.find(' '))).second) first << line << "\n";
  const std::string one = dir.write("one.txt", first.str());
  std::vector<std::string> single = {dir / "m1.json", "--new-data", one, "--projections", dir / "o.csv"};
  single.insert(single.end(), common.begin(), common.end());
  const ProgramResult r = run_projector(single);
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable o = read_csv(dir / "o.csv");
  ASSERT_EQ(o.rows.size(), h.rows.size());
  for (std::size_t k = 2; k < o.rows.size(); k += 3)
    EXPECT_GT(o.at(k, "upper") - o.at(k, "lower"), h.at(k, "upper") - h.at(k, "lower")) << "row " << k;

  const projector::RunResults run = projector::read_run_results(dir / "m1.json");
  const CsvTable table = read_csv(dir / "m1.csv");
  projector::CurveDraws draws(run, false);
  std::size_t k = 0;
  projector::for_each_plot(run, {dir / "m1.dat", dir / "m1.loc"}, false, [&](const projector::PlotData& plot) {
    ASSERT_EQ(draws.start(plot), "");
    const projector::CurveDraws::Conditional& c = draws.conditional();
    EXPECT_NEAR(c.mean[0], table.at(k, "mode_a"), 1e-8);
    EXPECT_NEAR(std::sqrt(c.covariance[0]), table.at(k, "sd_a"), 1e-8);
    ++k;
  });
  EXPECT_EQ(k, 14u);

  // The new plots' conditional modes and deviations are the fit's own (the
  // --plots table's, in scaled units; the new-locals table's a in raw heights).
  ASSERT_TRUE(run.data_scales);
  const double hs = run.data_scales->height, ts = run.data_scales->age;
  const CsvTable nl = read_csv(dir / "nl.csv");
  ASSERT_EQ(nl.rows.size(), table.rows.size());
  for (std::size_t r = 0; r < nl.rows.size(); ++r) {
    for (const char* name : {"position", "id", "measurements", "marginal_term"})
      EXPECT_NEAR(nl.at(r, name), table.at(r, name), 1e-8 * (1.0 + std::fabs(table.at(r, name)))) << name;
    EXPECT_NEAR(nl.at(r, "mode_a") / hs, table.at(r, "mode_a"), 1e-8 * table.at(r, "mode_a")) << "row " << r;
    EXPECT_NEAR(nl.at(r, "sd_a") / hs, table.at(r, "sd_a"), 1e-8 * table.at(r, "sd_a")) << "row " << r;
  }

  // A plot not measured: the population table's quantiles are those of the
  // mixture over the population of asymptotes at the fit's estimates.
  const ProgramResult pop = run_projector({dir / "m1.json", dir / "m1.dat", dir / "m1.loc", "--population",
                                           dir / "pop.csv", "--ages", "5,15,30", "--draws", "40000"});
  ASSERT_EQ(pop.status, 0) << pop.err;
  const CsvTable p = read_csv(dir / "pop.csv");
  ASSERT_EQ(p.names, (std::vector<std::string>{"age", "median", "lower", "upper", "measurement_lower",
                                                "measurement_upper"}));
  ASSERT_EQ(p.rows.size(), 3u);
  for (std::size_t r = 0; r < p.rows.size(); ++r) {
    const double t = p.at(r, "age") / ts;
    EXPECT_NEAR(population_cdf(run, t, p.at(r, "lower") / hs), 0.05, 0.006) << "age " << p.at(r, "age");
    EXPECT_NEAR(population_cdf(run, t, p.at(r, "median") / hs), 0.5, 0.012) << "age " << p.at(r, "age");
    EXPECT_NEAR(population_cdf(run, t, p.at(r, "upper") / hs), 0.95, 0.006) << "age " << p.at(r, "age");
  }
}

// With fixed locals a new plot's locals move with the globals as a fitted
// plot's do (by -C^-1 B, from its own Hessian): a plot given again as a new
// plot gets the fitted plot's full intervals, to rounding.
TEST(FullIntervals, FixedLocalsNewPlotEqualToAFittedPlot) {
  const FixedFit fit;
  const TempDir& dir = fit.dir;
  const std::vector<std::string> common = {"--ages", "2,9,25", "--intervals", "full", "--draws", "300"};
  std::vector<std::string> fitted = {dir / "sim.json", dir / "sim.dat", dir / "sim.loc", "--projections", dir / "f.csv"};
  std::vector<std::string> fresh = {dir / "sim.json", "--new-data", dir / "sim.txt", "--projections", dir / "n.csv"};
  for (auto* args : {&fitted, &fresh}) {
    args->insert(args->end(), common.begin(), common.end());
    const ProgramResult r = run_projector(*args);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  const CsvTable f = read_csv(dir / "f.csv"), n = read_csv(dir / "n.csv");
  ASSERT_EQ(f.names, n.names);
  ASSERT_EQ(f.rows.size(), kPlots * 3u);
  ASSERT_EQ(n.rows.size(), f.rows.size());
  for (std::size_t k = 0; k < f.rows.size(); ++k)
    for (std::size_t c = 0; c < f.names.size(); ++c)
      EXPECT_NEAR(n.rows[k][c], f.rows[k][c], 1e-6 * (1.0 + std::fabs(f.rows[k][c]))) << f.names[c] << " row " << k;
}

// The y value of each tick of a drawing's first panel -> its pixel row, and
// the points of its first band (the polygon after the legend's swatch).
std::map<double, double> y_ticks(const std::string& svg) {
  std::map<double, double> out;
  const std::string key = "class=\"ytick\" data-value=\"";
  for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1)) {
    const std::size_t y1 = svg.find("y1=\"", at);
    out.emplace(std::stod(svg.substr(at + key.size())), std::stod(svg.substr(y1 + 4)));
  }
  return out;
}

std::vector<std::array<double, 2>> first_band(const std::string& svg) {
  std::vector<std::array<double, 2>> out;
  const std::size_t polygon = svg.find("<polygon ", svg.find("<polygon ") + 1);
  const std::size_t from = svg.find("points=\"", polygon) + 8, to = svg.find('"', from);
  std::istringstream points(svg.substr(from, to - from));
  double x = 0.0, y = 0.0;
  char comma = 0;
  while (points >> x >> comma >> y) out.push_back({x, y});
  return out;
}

// A fixed-locals plot figure with --intervals full draws the full intervals
// of the projection table: the table's ages 2, 9 and 24 are the figure's
// curve ages 10, 45 and 120 of 0 .. 24 (model 1 starts at age 0), where the
// band's upper and lower edges, read back through the drawn axis, are the
// table's upper_full and lower_full to the drawing's precision (points to 1/100 pixel).
// The plug-in bounds lie pixels away there, so a plug-in band would fail. The
// plot pages draw the same band, and the figure and the summary page say
// which intervals they show.
TEST(FullIntervals, FixedLocalsPlotFigureDrawsTheTablesFullIntervals) {
  const FixedFit fit;
  const TempDir& dir = fit.dir;
  const std::string id = std::to_string(fit.plots.at(5).id);
  const std::vector<std::string> base = {dir / "sim.json", dir / "sim.dat", dir / "sim.loc", "--ids", id,
                                         "--ages", "2,9,24", "--draws", "300"};
  const auto project = [&base](std::vector<std::string> more) {
    more.insert(more.begin(), base.begin(), base.end());
    const ProgramResult r = run_projector(more);
    ASSERT_EQ(r.status, 0) << r.err;
  };
  project({"--intervals", "full", "--projections", dir / "full.csv", "--plot-figure", dir / "plots.svg",
           "--summary-page", dir / "page.html"});
  project({"--intervals", "full", "--plot-figure", dir / "pages.svg", "--plot-pages"});
  project({"--projections", dir / "plug.csv", "--plot-figure", dir / "plug.svg"});
  const CsvTable full = read_csv(dir / "full.csv"), plug = read_csv(dir / "plug.csv");
  const std::string svg = read_text(dir / "plots.svg");
  const std::map<double, double> y = y_ticks(svg);
  ASSERT_GE(y.size(), 2u);
  const auto lo = y.begin(), hi = std::prev(y.end());
  const double per_pixel = (hi->first - lo->first) / (lo->second - hi->second);
  const auto height = [&](double pixel) { return lo->first + (lo->second - pixel) * per_pixel; };
  const std::vector<std::array<double, 2>> band = first_band(svg);
  ASSERT_EQ(band.size(), 242u);  // upper edge over the 121 curve ages, then the lower edge back
  ASSERT_EQ(full.rows.size(), 3u);
  double plug_in_apart = 0.0;
  for (const auto& [k, row] : {std::pair{10, 0}, std::pair{45, 1}, std::pair{120, 2}}) {
    SCOPED_TRACE("age " + std::to_string(full.at(row, "age")));
    const auto upper = band[static_cast<std::size_t>(k)], lower = band[static_cast<std::size_t>(241 - k)];
    EXPECT_EQ(upper[0], lower[0]);
    EXPECT_NEAR(height(upper[1]), full.at(row, "upper_full"), 0.02 * per_pixel);
    EXPECT_NEAR(height(lower[1]), full.at(row, "lower_full"), 0.02 * per_pixel);
    plug_in_apart = std::max({plug_in_apart, std::fabs(plug.at(row, "upper") - full.at(row, "upper_full")),
                              std::fabs(plug.at(row, "lower") - full.at(row, "lower_full"))});
  }
  EXPECT_GT(plug_in_apart, 2 * per_pixel);
  EXPECT_EQ(read_text(dir / "pages-1.svg"), svg);
  EXPECT_NE(svg.find("90% full interval of the true height"), std::string::npos);
  EXPECT_NE(svg.find(">full interval (with the estimates' uncertainty)<"), std::string::npos);
  EXPECT_EQ(read_text(dir / "plug.svg").find("full"), std::string::npos);
  const std::string page = read_text(dir / "page.html");
  EXPECT_NE(page.find("intervals are full intervals, which carry the estimates' uncertainty (over 300 draws"),
            std::string::npos);
  EXPECT_EQ(page.find("plug-in"), std::string::npos);
}

// What the results of a fixed-locals fit do not serve (the population of a
// plot not measured), and a kind of interval that does not exist, are
// refused before any output.
TEST(FullIntervals, RefusalsNameWhatIsServed) {
  const FixedFit fit;
  const TempDir& dir = fit.dir;
  const ProgramResult population = run_projector(
      {dir / "sim.json", dir / "sim.dat", dir / "sim.loc", "--population", dir / "p.csv", "--ages", "5"});
  EXPECT_EQ(population.status, 2);
  EXPECT_NE(population.err.find("--population needs the results of a random-locals fit"), std::string::npos)
      << population.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "p.csv"));
  const ProgramResult bad = run_projector({dir / "sim.json", dir / "sim.dat", dir / "sim.loc", "--projections",
                                           dir / "p.csv", "--ages", "5", "--intervals", "wide"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--intervals: plug-in or full, not wide"), std::string::npos) << bad.err;
}

}  // namespace
