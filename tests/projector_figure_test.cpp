// The projector's figures as a person sees them: rendered to PNG by
// rsvg-convert, and for a tiny case the measured heights land where the
// drawn axes say they should.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/csv_table.hpp"
#include "support/fit_problem.hpp"
#include "support/png_image.hpp"
#include "support/program.hpp"
#include "support/results_file.hpp"
#include "support/temp_dir.hpp"

namespace {

// The ticks a figure draws: value -> pixel position (x of the first panel's
// x ticks, y of its y ticks), read from the tick groups of the drawing.
std::map<double, double> ticks(const std::string& svg, const std::string& axis) {
  std::map<double, double> out;
  const std::string key = "class=\"" + axis + "tick\" data-value=\"";
  const std::string coordinate = axis == "x" ? "x1=\"" : "y1=\"";
  for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1)) {
    const double value = std::stod(svg.substr(at + key.size()));
    const std::size_t c = svg.find(coordinate, at);
    out.emplace(value, std::stod(svg.substr(c + coordinate.size())));
  }
  return out;
}

double through(const std::map<double, double>& t, double v) {
  const auto lo = t.begin(), hi = std::prev(t.end());
  return lo->second + (v - lo->first) / (hi->first - lo->first) * (hi->second - lo->second);
}

bool red(const std::array<int, 3>& c) { return c[0] > 180 && c[1] < 90 && c[2] < 90; }
// Drawn in a colour or black: not the white ground, nor the grey grid.
bool ink(const std::array<int, 3>& c) {
  const auto [lo, hi] = std::minmax({c[0], c[1], c[2]});
  return hi < 90 || hi - lo > 60;
}

// Every element <TAG ...> of a drawing, from `from` on, as its text.
std::vector<std::string> elements(const std::string& svg, const std::string& tag, std::size_t from = 0) {
  std::vector<std::string> out;
  for (std::size_t at = svg.find("<" + tag + " ", from); at != std::string::npos;
       at = svg.find("<" + tag + " ", at + 1))
    out.push_back(svg.substr(at, svg.find('>', at) - at + 1));
  return out;
}

std::string attribute(const std::string& element, const std::string& name) {
  const std::size_t at = element.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  const std::size_t from = at + name.size() + 3;
  return element.substr(from, element.find('"', from) - from);
}

double number(const std::string& element, const std::string& name) { return std::stod(attribute(element, name)); }

// How a line is drawn: colour, width and dash.
std::string stroke(const std::string& element) {
  return attribute(element, "stroke") + " " + attribute(element, "stroke-width") + " " +
         attribute(element, "stroke-dasharray");
}

// The first element <TAG ...> inside each legend row of a drawing.
std::vector<std::string> legend_swatches(const std::string& svg, const std::string& tag) {
  std::vector<std::string> out;
  const std::string key = "<g class=\"legend\">";
  for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1)) {
    const std::size_t end = svg.find("</g>", at);
    const auto found = elements(svg.substr(at, end - at), tag);
    if (!found.empty()) out.push_back(found.front());
  }
  return out;
}

std::vector<int> panel_titles(const std::string& svg) {
  std::vector<int> ids;
  const std::regex title(">plot (-?[0-9]+)</text>");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), title); it != std::sregex_iterator(); ++it)
    ids.push_back(std::stoi((*it)[1]));
  return ids;
}

TEST(ProjectorFigures, RenderedPointsLandOnTheirAxes) {
  TempDir dir;
  const std::vector<double> ages = {2.0, 5.0, 9.0}, heights = {1.0, 2.5, 3.5};
  const FitFiles f = write_fit_problem(dir, {{7, ages, heights, {4.0}}}, ControlSettings{});
  write_results_file(dir / "run.json", {.model = 1, .globals = {0.2, 0.8, 0.1, 0.05}, .local_averages = {4.0}}, f.data,
                     f.locals);
  const ProgramResult r = run_program(
      PROJECTOR_PATH, {dir / "run.json", f.data, f.locals, "--plot-figure", dir / "plots.svg", "--curve-figure",
                       dir / "curves.svg", "--residual-figure", dir / "res.svg", "--ages", "12"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* name : {"plots", "curves", "res"}) {
    const ProgramResult render =
        run_program(RSVG_CONVERT_PATH, {dir / (std::string(name) + ".svg"), "-o", dir / (std::string(name) + ".png")});
    ASSERT_EQ(render.status, 0) << name << ": " << render.err;
    const Image image = read_png(dir / (std::string(name) + ".png"));
    EXPECT_EQ(image.width, 800) << name;
  }
  const std::string svg = read_text(dir / "plots.svg");
  const auto x = ticks(svg, "x"), y = ticks(svg, "y");
  ASSERT_GE(x.size(), 2u);
  ASSERT_GE(y.size(), 2u);
  EXPECT_EQ(x.begin()->first, 0.0);  // round numbers from 0 to past the last age
  EXPECT_GE(std::prev(x.end())->first, 12.0);
  const Image image = read_png(dir / "plots.png");
  ASSERT_GT(image.width, 0);
  for (std::size_t i = 0; i < ages.size(); ++i) {
    const double px = through(x, ages[i]), py = through(y, heights[i]);
    EXPECT_TRUE(red(image.at(px, py))) << "measurement " << i << " at " << px << "," << py;
    EXPECT_FALSE(red(image.at(px + 8, py + 8))) << "measurement " << i;
  }
  EXPECT_FALSE(red(image.at(through(x, 9.0), through(y, 1.0))));  // where nothing was measured
}

// The guide curves span the ages asked for (or, without --ages, 0 to past the
// last measurement), drawn to the axis's end; every legend swatch is drawn
// with the stroke of its curve, and the plot figure's swatches like its
// median and its band.
TEST(ProjectorFigures, TheCurveFigureSpansTheRequestedAgesAndItsLegendIsDrawnAsItsCurves) {
  TempDir dir;
  const std::vector<double> ages = {2.0, 5.0, 9.0};
  const FitFiles f = write_fit_problem(
      dir, {{7, ages, {1.0, 2.5, 3.5}, {4.0}}, {8, ages, {1.2, 2.9, 4.1}, {5.0}}, {9, ages, {0.8, 2.0, 3.0}, {3.0}}},
      ControlSettings{});
  write_results_file(dir / "run.json", {.model = 1, .globals = {0.2, 0.8, 0.1, 0.05}, .local_averages = {4.0}}, f.data,
                     f.locals);
  struct Case {
    std::vector<std::string> ages;
    double lo, hi;
  };
  for (const Case& c : {Case{{"--ages", "20:40:5"}, 20, 40}, Case{{"--ages", "0.5,8,60"}, 0.5, 60},
                        Case{{"--ages", "12"}, 0, 12}, Case{{}, 0, 9}}) {
    SCOPED_TRACE(c.ages.empty() ? "no ages" : c.ages[1]);
    std::vector<std::string> args = {dir / "run.json", f.data, f.locals, "--curve-figure", dir / "curves.svg"};
    args.insert(args.end(), c.ages.begin(), c.ages.end());
    ASSERT_EQ(run_program(PROJECTOR_PATH, args).status, 0);
    const std::string svg = read_text(dir / "curves.svg");
    const auto x = ticks(svg, "x"), y = ticks(svg, "y");
    ASSERT_GE(x.size(), 3u);
    const double first = x.begin()->first, last = std::prev(x.end())->first;
    const double step = std::next(x.begin())->first - first;
    EXPECT_LE(first, c.lo);  // the round numbers just around the ages
    EXPECT_GT(first + step, c.lo);
    EXPECT_GE(last, c.hi);
    EXPECT_LT(last - step, c.hi);
    if (c.ages.empty()) {
      EXPECT_EQ(first, 0.0);
    }
    // The curves are drawn to the axis's far end.
    ASSERT_EQ(run_program(RSVG_CONVERT_PATH, {dir / "curves.svg", "-o", dir / "curves.png"}).status, 0);
    const Image image = read_png(dir / "curves.png");
    const double px = through(x, first + 0.97 * (last - first));
    bool seen = false;
    for (double py = y.rbegin()->second + 3; py < y.begin()->second - 3; ++py) seen = seen || ink(image.at(px, py));
    EXPECT_TRUE(seen) << "no curve at age " << first + 0.97 * (last - first);
    // The swatches, in the order of the curves.
    const auto curves = elements(svg, "polyline"), swatches = legend_swatches(svg, "line");
    ASSERT_EQ(curves.size(), 4u);  // the average and three quantiles
    ASSERT_EQ(swatches.size(), curves.size());
    for (std::size_t k = 0; k < curves.size(); ++k) EXPECT_EQ(stroke(swatches[k]), stroke(curves[k])) << "curve " << k;
  }
  ASSERT_EQ(run_program(PROJECTOR_PATH, {dir / "run.json", f.data, f.locals, "--plot-figure", dir / "plots.svg"}).status,
            0);
  const std::string plots = read_text(dir / "plots.svg");
  const auto median = legend_swatches(plots, "line"), band = legend_swatches(plots, "polygon");
  ASSERT_EQ(median.size(), 1u);
  ASSERT_EQ(band.size(), 1u);
  EXPECT_EQ(stroke(median[0]), stroke(elements(plots, "polyline").at(0)));
  const std::string drawn_band = elements(plots, "polygon", plots.find("clip-path")).at(0);
  EXPECT_EQ(attribute(band[0], "fill"), attribute(drawn_band, "fill"));
  EXPECT_EQ(attribute(band[0], "fill-opacity"), attribute(drawn_band, "fill-opacity"));
}

// A measurement far off its plot's curve (an innovation of tens of standard
// deviations) is drawn inside the residual panels, as every other point: the
// axes span what each panel shows.
TEST(ProjectorFigures, ResidualPointsAllLieInsideTheirPanels) {
  TempDir dir;
  const std::vector<double> ages = {2.0, 4.0, 6.0, 8.0, 10.0};
  const FitFiles f = write_fit_problem(dir,
                                       {{7, ages, {1.0, 1.9, 2.6, 3.1, 3.4}, {4.0}},
                                        {8, ages, {1.1, 2.0, 6.5, 3.2, 3.6}, {4.0}},
                                        {9, ages, {0.9, 1.8, 2.4, 2.9, 3.2}, {4.0}}},
                                       ControlSettings{});
  write_results_file(dir / "run.json", {.model = 1, .globals = {0.2, 0.8, 0.02, 0.01}, .local_averages = {4.0}},
                     f.data, f.locals);
  ASSERT_EQ(run_program(PROJECTOR_PATH, {dir / "run.json", f.data, f.locals, "--residuals", dir / "res.csv",
                                         "--residual-figure", dir / "res.svg"})
                .status,
            0);
  const CsvTable table = read_csv(dir / "res.csv");
  double extreme = 0;
  for (std::size_t k = 0; k < table.rows.size(); ++k)
    extreme = std::max(extreme, std::fabs(table.at(k, "standardised_innovation")));
  ASSERT_GT(extreme, 10.0);  // beyond any fixed axis the figure could have
  const std::string svg = read_text(dir / "res.svg");
  const auto y = ticks(svg, "y");
  EXPECT_GE(std::prev(y.end())->first, extreme);
  EXPECT_LE(y.begin()->first, -extreme);
  // Each clipped panel: its frame, and the points drawn in it.
  std::size_t panels = 0, points = 0;
  for (std::size_t at = svg.find("<clipPath"); at != std::string::npos; at = svg.find("<clipPath", at + 1), ++panels) {
    const std::string frame = elements(svg, "rect", at).at(0);
    const double left = number(frame, "x"), top = number(frame, "y");
    const double right = left + number(frame, "width"), bottom = top + number(frame, "height");
    const std::size_t from = svg.find("<g clip-path", at), to = svg.find("</g>", from);
    for (const std::string& c : elements(svg.substr(from, to - from), "circle")) {
      ++points;
      const double cx = number(c, "cx"), cy = number(c, "cy");
      EXPECT_TRUE(cx >= left && cx <= right && cy >= top && cy <= bottom)
          << "panel " << panels << ": point at " << cx << "," << cy << " outside " << left << ".." << right << " x "
          << top << ".." << bottom;
    }
  }
  EXPECT_EQ(panels, 3u);
  EXPECT_GE(points, 2 * table.rows.size());
  ASSERT_EQ(run_program(RSVG_CONVERT_PATH, {dir / "res.svg", "-o", dir / "res.png"}).status, 0);
  EXPECT_EQ(read_png(dir / "res.png").width, 800);
}

// --plot-pages: ceil(NP / 16) pages, numbered to sort, each of 16 plots but
// the last, together every plot in order; the first page is the figure
// without --plot-pages. A run whose plot files are not the results file's
// leaves no page, though pages were written during its pass.
TEST(ProjectorFigures, PlotFigurePagesHoldEveryPlotSixteenToAPage) {
  TempDir dir;
  std::vector<TestPlot> plots = simulate_model1(11, 170, 4, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 3.0);
  const FitFiles f = write_fit_problem(dir, plots, ControlSettings{});
  write_results_file(dir / "run.json", {.model = 1, .globals = {0.15, 0.7, 0.2, 0.05}, .local_averages = {3.0}},
                     f.data, f.locals);
  const auto page = [&](const std::string& stem, int k) {
    return dir / (stem + "-" + (k < 10 ? "0" : "") + std::to_string(k) + ".svg");
  };
  const ProgramResult r = run_program(PROJECTOR_PATH, {dir / "run.json", f.data, f.locals, "--plot-figure",
                                                       dir / "plots.svg", "--plot-pages", "--ages", "15"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<int> shown;
  for (int k = 1; k <= 11; ++k) {
    const std::vector<int> ids = panel_titles(read_text(page("plots", k)));
    EXPECT_EQ(ids.size(), k < 11 ? 16u : 10u) << "page " << k;
    shown.insert(shown.end(), ids.begin(), ids.end());
  }
  std::vector<int> expected;
  for (const TestPlot& p : plots) expected.push_back(p.id);
  EXPECT_EQ(shown, expected);
  EXPECT_FALSE(std::filesystem::exists(page("plots", 12)));
  EXPECT_FALSE(std::filesystem::exists(dir / "plots.svg"));
  for (int k : {1, 11}) {
    ASSERT_EQ(run_program(RSVG_CONVERT_PATH, {page("plots", k), "-o", dir / "page.png"}).status, 0) << k;
    EXPECT_EQ(read_png(dir / "page.png").width, 800);
  }
  ASSERT_EQ(run_program(PROJECTOR_PATH,
                        {dir / "run.json", f.data, f.locals, "--plot-figure", dir / "single.svg", "--ages", "15"})
                .status,
            0);
  EXPECT_EQ(read_text(page("plots", 1)), read_text(dir / "single.svg"));

  // Twenty plots of --ids: two pages, named as the run's plots number them.
  std::string ids;
  for (int k = 0; k < 20; ++k) ids += (k ? "," : "") + std::to_string(plots[static_cast<std::size_t>(5 * k)].id);
  ASSERT_EQ(run_program(PROJECTOR_PATH, {dir / "run.json", f.data, f.locals, "--plot-figure", dir / "some.svg",
                                         "--plot-pages", "--ids", ids})
                .status,
            0);
  EXPECT_EQ(panel_titles(read_text(page("some", 1))).size(), 16u);
  EXPECT_EQ(panel_titles(read_text(page("some", 2))).size(), 4u);
  EXPECT_FALSE(std::filesystem::exists(page("some", 3)));

  // Plot files of another run: refused after the pass, and no page is left.
  const FitFiles other =
      write_fit_problem(dir, simulate_model1(12, 40, 4, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 3.0), ControlSettings{},
                        "other");
  const ProgramResult refused = run_program(PROJECTOR_PATH, {dir / "run.json", other.data, other.locals,
                                                             "--plot-figure", dir / "refused.svg", "--plot-pages"});
  EXPECT_EQ(refused.status, 2);
  for (const auto& entry : std::filesystem::directory_iterator(dir / ""))
    EXPECT_EQ(entry.path().filename().string().find("refused"), std::string::npos) << entry.path();
  const ProgramResult alone =
      run_program(PROJECTOR_PATH, {dir / "run.json", f.data, f.locals, "--residuals", dir / "r.csv", "--plot-pages"});
  EXPECT_EQ(alone.status, 2);
  EXPECT_NE(alone.err.find("--plot-pages needs --plot-figure"), std::string::npos) << alone.err;
}

}  // namespace

namespace {

// Site-index curves pass through (base age, site index) and are the model's
// closed-form curve: for model 1 (local asymptote, start at height 0 and age
// 0) h(t) = a (1 - exp(-b t))^(1/c), so a = S / (1 - exp(-b T))^(1/c); for
// model 7 (global asymptote and start age, local rate) (h/a)^c = 1 -
// exp(-b (t - t0)), so b = -ln(1 - (S/a)^c) / (T - t0). The figure renders
// and its labels read back; a site index no curve reaches is refused.
TEST(SiteCurves, PassThroughTheBaseAgeAndAreTheModelsClosedFormCurve) {
  TempDir dir;
  const std::vector<double> ages = {2.0, 5.0, 9.0}, heights = {1.0, 2.5, 3.5};
  struct Case {
    int model;
    std::vector<double> globals, averages;
  };
  for (const Case& m : {Case{1, {0.2, 0.8, 0.1, 0.05}, {4.0}}, Case{7, {4.5, 0.8, 0.1, 0.05, 0.3}, {0.2}}}) {
    SCOPED_TRACE("model " + std::to_string(m.model));
    const FitFiles f = write_fit_problem(dir, {{7, ages, heights, m.averages}, {8, ages, heights, m.averages}},
                                         ControlSettings{});
    write_results_file(dir / "run.json",
                       {.model = m.model, .globals = m.globals, .local_averages = m.averages, .age_scale = 10,
                        .height_scale = 10},
                       f.data, f.locals);
    const ProgramResult r = run_program(
        PROJECTOR_PATH, {dir / "run.json", f.data, f.locals, "--site-curves", "20,25:35:5", "--base-age", "50",
                         "--ages", "10,30,70", "--site-curve-table", dir / "si.csv", "--site-curve-figure",
                         dir / "si.svg", "--age-unit", "years", "--height-unit", "m"});
    ASSERT_EQ(r.status, 0) << r.err;
    const CsvTable t = read_csv(dir / "si.csv");
    ASSERT_EQ(t.rows.size(), 4u * 4u);  // the three ages and the base age
    for (std::size_t k = 0; k < t.rows.size(); ++k) {
      const double S = t.at(k, "site_index") / 10, T = 5.0, age = t.at(k, "age") / 10, h = t.at(k, "height") / 10;
      if (age == T) {
        EXPECT_NEAR(h, S, 1e-10 * S);
      }
      double expected = 0;
      if (m.model == 1) {
        const double b = m.globals[0], c = m.globals[1];
        const double a = S / std::pow(1 - std::exp(-b * T), 1 / c);
        EXPECT_NEAR(t.at(k, "a") / 10, a, 1e-10 * a);
        expected = a * std::pow(1 - std::exp(-b * age), 1 / c);
      } else {
        const double a = m.globals[0], c = m.globals[1], t0 = m.globals[4];
        const double b = -std::log(1 - std::pow(S / a, c)) / (T - t0);
        EXPECT_NEAR(t.at(k, "b") * 10, b, 1e-10 * b);
        expected = a * std::pow(1 - std::exp(-b * (age - t0)), 1 / c);
      }
      EXPECT_NEAR(h, expected, 1e-10 * expected) << "age " << age;
    }
    const ProgramResult render = run_program(RSVG_CONVERT_PATH, {dir / "si.svg", "-o", dir / "si.png"});
    ASSERT_EQ(render.status, 0) << render.err;
    EXPECT_EQ(read_png(dir / "si.png").width, 800);
    const std::string svg = read_text(dir / "si.svg");
    std::vector<double> labels;
    const std::string key = "class=\"site-curve\" data-value=\"";
    for (std::size_t at = svg.find(key); at != std::string::npos; at = svg.find(key, at + 1)) {
      labels.push_back(std::stod(svg.substr(at + key.size())));
      EXPECT_NE(svg.find(">SI " + svg.substr(at + key.size(), 2) + "<", at), std::string::npos);
    }
    EXPECT_EQ(labels, (std::vector<double>{20, 25, 30, 35}));
  }
  // Model 7's curves rise to the global asymptote, 45: 50 is out of reach.
  const ProgramResult far = run_program(PROJECTOR_PATH, {dir / "run.json", dir / "fit.dat", dir / "fit.loc",
                                                         "--site-curves", "20,50", "--base-age", "50",
                                                         "--site-curve-figure", dir / "far.svg"});
  EXPECT_EQ(far.status, 2);
  EXPECT_NE(far.err.find("projector: --site-curves: no curve of model 7 reaches the height 50 at the base age 50"),
            std::string::npos)
      << far.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "far.svg"));
}

// A random-locals fit of the loblolly data gets every figure and the summary
// page: each renders, the plot figure has a finite band for each of its plots
// (from the conditional distribution), the guide curves say that they are at
// the population's quantiles, and the page shows the population's parameters.
TEST(ProjectorFigures, RandomLocalsFigures) {
  const TempDir dir;
  const std::string examples = std::filesystem::path(LOBLOLLY_DATA).parent_path().parent_path();
  const ProgramResult prep =
      run_preparer({LOBLOLLY_DATA, dir / "m1.dat", dir / "m1.loc"}, read_text(examples + "/loblolly-model1.answers"));
  ASSERT_EQ(prep.status, 0) << prep.err;
  const ProgramResult fit = run_estimator({examples + "/loblolly-model1.ctl", dir / "m1.dat", dir / "m1.loc",
                                           dir / "m1.rep", "--random-locals", "--json", dir / "m1.json"});
  ASSERT_EQ(fit.status, 0) << fit.err;
  const ProgramResult r = run_program(
      PROJECTOR_PATH, {dir / "m1.json", dir / "m1.dat", dir / "m1.loc", "--plot-figure", dir / "plots.svg",
                       "--curve-figure", dir / "curves.svg", "--residual-figure", dir / "res.svg", "--summary-page",
                       dir / "page.html", "--ages", "30", "--draws", "200", "--projections", dir / "proj.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* name : {"plots", "curves", "res"}) {
    const ProgramResult render =
        run_program(RSVG_CONVERT_PATH, {dir / (std::string(name) + ".svg"), "-o", dir / (std::string(name) + ".png")});
    ASSERT_EQ(render.status, 0) << name << ": " << render.err;
    EXPECT_EQ(read_png(dir / (std::string(name) + ".png")).width, 800) << name;
  }
  const std::string plots = read_text(dir / "plots.svg");
  EXPECT_EQ(panel_titles(plots).size(), 14u);
  EXPECT_EQ(plots.find("nan"), std::string::npos);
  // The first panel's band ends at age 30 (its curve's last age) with the
  // interval --projections gives there (the draws are seeded by the plot's
  // place), to the drawing's precision (points to 1/100 pixel).
  const std::vector<std::string> bands = elements(plots, "polygon");
  ASSERT_GE(bands.size(), 2u);  // the legend's swatch, then the first panel's band
  std::vector<double> ys;
  const std::string points = attribute(bands[1], "points");
  for (std::size_t at = 0; at < points.size();) {
    const std::size_t comma = points.find(',', at), space = points.find(' ', comma);
    ys.push_back(std::stod(points.substr(comma + 1, space - comma - 1)));
    at = space == std::string::npos ? points.size() : space + 1;
  }
  ASSERT_EQ(ys.size(), 242u);
  const std::map<double, double> y = ticks(plots, "y");
  const auto height = [&y](double pixel) {  // the inverse of the y axis's map
    const auto lo = y.begin(), hi = std::prev(y.end());
    return lo->first + (pixel - lo->second) / (hi->second - lo->second) * (hi->first - lo->first);
  };
  const CsvTable projections = read_csv(dir / "proj.csv");
  ASSERT_EQ(projections.at(0, "age"), 30.0);
  const double pixel = (std::prev(y.end())->first - y.begin()->first) / std::fabs(std::prev(y.end())->second - y.begin()->second);
  EXPECT_NEAR(height(ys[120]), projections.at(0, "upper"), 0.05 * pixel);
  EXPECT_NEAR(height(ys[121]), projections.at(0, "lower"), 0.05 * pixel);
  const std::string curves = read_text(dir / "curves.svg");
  EXPECT_NE(curves.find("locals from their population"), std::string::npos);
  EXPECT_NE(curves.find("a at the population's 90% quantile"), std::string::npos);
  const std::string page = read_text(dir / "page.html");
  EXPECT_NE(page.find("<table id=\"population\">"), std::string::npos);
  EXPECT_NE(page.find(">mean_a<"), std::string::npos);
  EXPECT_NE(page.find("marginal log-likelihood"), std::string::npos);
}

}  // namespace
