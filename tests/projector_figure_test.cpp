// The projector's figures as a person sees them: rendered to PNG by
// rsvg-convert, and for a tiny case the measured heights land where the
// drawn axes say they should.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

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
