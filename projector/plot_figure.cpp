#include "projector/plot_figure.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "io/svg_writer.hpp"
#include "projector/figure_axes.hpp"

namespace projector {
namespace {

constexpr double kWidth = 800, kMargin = 58, kGap = 16, kHeader = 64;
constexpr double kBandOpacity = 0.7;
constexpr io::Stroke kMedianStroke{kCurveColour, 2, ""};

struct Extent {
  double x_lo = std::numeric_limits<double>::infinity(), x_hi = -x_lo, y_hi = 0;
  void add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    x_lo = std::min(x_lo, x);
    x_hi = std::max(x_hi, x);
    y_hi = std::max(y_hi, y);
  }
};

}  // namespace

PlotFigure::PlotFigure(double last_age, double z) : last_age_(last_age), z_(z) { entries_.reserve(kMaxPlots); }

// The curve runs from the start age (or 0, when the start age is negative)
// to the last measurement or `last_age`, whichever is later.
void PlotFigure::add(const PlotData& plot, const Band& band) {
  Entry& e = entries_.emplace_back();
  e.id = plot.id;
  e.n = plot.n;
  e.ages = plot.ages;
  e.heights = plot.heights;
  const double from = std::max(plot.curve[model::kCurveT0], 0.0);
  double to = plot.ages[static_cast<std::size_t>(plot.n - 1)];
  if (std::isfinite(last_age_)) to = std::max(to, last_age_);
  for (int k = 0; k < kCurveAges; ++k)
    e.curve_ages[static_cast<std::size_t>(k)] = from + (to - from) * k / (kCurveAges - 1);
  PlotProjection projection;
  project_plot(plot.curve, plot.n, plot.ages.data(), plot.heights.data(), kCurveAges, e.curve_ages.data(), z_,
               projection);
  if (band) band(kCurveAges, e.curve_ages.data(), projection);
  for (int k = 0; k < kCurveAges; ++k)
    e.curve[static_cast<std::size_t>(k)] = projection.at_ages[static_cast<std::size_t>(k)].height;
  ++count_;
}

void PlotFigure::clear() {
  entries_.clear();
  count_ = 0;
}

void PlotFigure::write(const std::string& path, const Units& units, const FigureText& text) const {
  const double ts = units.age_scale, hs = units.height_scale;
  Extent extent;
  for (const Entry& e : entries_) {
    for (int i = 0; i < e.n; ++i)
      extent.add(e.ages[static_cast<std::size_t>(i)] * ts, e.heights[static_cast<std::size_t>(i)] * hs);
    for (int k = 0; k < kCurveAges; ++k)
      extent.add(e.curve_ages[static_cast<std::size_t>(k)] * ts, e.curve[static_cast<std::size_t>(k)].upper * hs);
  }
  const int count = std::max(1, static_cast<int>(entries_.size()));
  const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
  const int rows = (count + columns - 1) / columns;
  const double cell = (kWidth - kMargin - kGap) / columns;
  const double side = cell - kMargin;
  io::SvgWriter svg(path, "plot figure", kWidth, kHeader + rows * cell + 12);
  char title[160];
  // A figure of full intervals names them; one of plug-in intervals is written as it always was.
  std::snprintf(title, sizeof title, "Measured heights, conditional median and %g%% %sinterval of the true height",
                100 * text.level, text.full_intervals ? "full " : "");
  svg.text({kWidth / 2, 22}, title, 15, io::Anchor::middle);
  // The legend: each swatch drawn as the figure draws what it names.
  svg.begin_group("legend");
  svg.circle({kMargin + 6, 42}, 3.5, kPointColour);
  svg.text({kMargin + 14, 46}, "measured", 12);
  svg.line({kMargin + 90, 42}, {kMargin + 110, 42}, kMedianStroke);
  svg.text({kMargin + 116, 46}, "median", 12);
  const io::Point swatch[] = {{kMargin + 180, 36}, {kMargin + 200, 36}, {kMargin + 200, 48}, {kMargin + 180, 48}};
  svg.polygon(swatch, kBandColour, kBandOpacity);
  svg.text({kMargin + 206, 46}, text.full_intervals ? "full interval (with the estimates' uncertainty)" : "interval",
           12);
  svg.end_group();
  const Ticks x = nice_ticks(extent.x_lo, extent.x_hi), y = nice_ticks(0, extent.y_hi);
  for (std::size_t p = 0; p < entries_.size(); ++p) {
    const Entry& e = entries_[p];
    const std::size_t row = p / static_cast<std::size_t>(columns), column = p % static_cast<std::size_t>(columns);
    const double left = kMargin + kGap + static_cast<double>(column) * cell;
    const double top = kHeader + static_cast<double>(row) * cell + 16;
    const Panel panel(svg, {left, top}, side, side, x, y);
    panel.axes("age (" + text.age_unit + ")", "height (" + text.height_unit + ")", "plot " + std::to_string(e.id));
    panel.begin_clip();
    std::vector<io::Point> band, median;
    for (int k = 0; k < kCurveAges; ++k) {
      const auto& c = e.curve[static_cast<std::size_t>(k)];
      const double t = e.curve_ages[static_cast<std::size_t>(k)] * ts;
      band.push_back(panel.at(t, std::min(c.upper * hs, y.hi * 2)));
      median.push_back(panel.at(t, c.median * hs));
    }
    for (int k = kCurveAges - 1; k >= 0; --k)
      band.push_back(
          panel.at(e.curve_ages[static_cast<std::size_t>(k)] * ts, e.curve[static_cast<std::size_t>(k)].lower * hs));
    svg.polygon(band, kBandColour, kBandOpacity);
    svg.polyline(median, kMedianStroke);
    svg.begin_group("measured");
    for (int i = 0; i < e.n; ++i)
      svg.circle(panel.at(e.ages[static_cast<std::size_t>(i)] * ts, e.heights[static_cast<std::size_t>(i)] * hs), 3.5,
                 kPointColour);
    svg.end_group();
    panel.end_clip();
  }
  svg.commit();
}

}  // namespace projector
