// The projector's figures as a person sees them: rendered to PNG by
// rsvg-convert, and for a tiny case the measured heights land where the
// drawn axes say they should.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
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

}  // namespace
