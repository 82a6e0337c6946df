#include "projector/residual_figure.hpp"

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <cstdio>
#include <limits>

#include "io/svg_writer.hpp"
#include "projector/figure_axes.hpp"

namespace projector {
namespace {

constexpr double kWidth = 800, kSide = 300, kLeft = 70, kTop = 64, kGap = 90;
constexpr int kQuantiles = 199;

// Bins of 0.001 over [-8, 8]: the Q-Q plot's quantiles to 0.001.
constexpr double kHistogramEdge = 8;
constexpr int kHistogramBins = 16000;

Ticks symmetric_ticks(double extreme) { return nice_ticks(-std::max(extreme, 3.0), std::max(extreme, 3.0)); }

}  // namespace

ResidualFigure::ResidualFigure(std::int64_t measurements)
    : stride_(std::max<std::int64_t>(1, (measurements + kPoints - 1) / kPoints)),
      histogram_(-kHistogramEdge, kHistogramEdge, kHistogramBins) {
  points_.reserve(static_cast<std::size_t>(kPoints + 1));
}

void ResidualFigure::add(const PlotData& plot, const PlotProjection& projection) {
  for (int i = 0; i < plot.n; ++i) {
    const MeasurementFit& fit = projection.at_measurements[static_cast<std::size_t>(i)];
    if (!std::isfinite(fit.standardised)) continue;
    histogram_.add(fit.standardised);
    sum_ += fit.standardised;
    squares_ += fit.standardised * fit.standardised;
    beyond_two_ += std::fabs(fit.standardised) > 2;
    if (seen_++ % stride_ == 0 && points_.size() <= static_cast<std::size_t>(kPoints))
      points_.push_back({plot.ages[static_cast<std::size_t>(i)], fit.fitted, fit.standardised});
  }
}

ResidualSummary ResidualFigure::summary() const {
  const double n = static_cast<double>(histogram_.count()), mean = sum_ / n;
  return {histogram_.count(),         mean,
          squares_ / n - mean * mean, static_cast<double>(beyond_two_) / n,
          histogram_.quantile(0.025), histogram_.quantile(0.5),
          histogram_.quantile(0.975)};
}

void ResidualFigure::write(const std::string& path, const Units& units, const FigureText& text) const {
  double extreme = 0, age_hi = 0, fitted_hi = 0, age_lo = std::numeric_limits<double>::infinity();
  for (const Point& p : points_) {
    extreme = std::max(extreme, std::fabs(p.innovation));
    age_lo = std::min(age_lo, p.age * units.age_scale);
    age_hi = std::max(age_hi, p.age * units.age_scale);
    if (std::isfinite(p.fitted)) fitted_hi = std::max(fitted_hi, p.fitted * units.height_scale);
  }
  const Ticks e = symmetric_ticks(std::min(extreme, kHistogramEdge));
  io::SvgWriter svg(path, "residual figure", kWidth, kTop + 2 * kSide + kGap + 40);
  svg.text({kWidth / 2, 22}, "Standardised innovations (independent standard normal under the model)", 15,
           io::Anchor::middle);
  const Panel by_age(svg, {kLeft, kTop}, kSide, kSide, nice_ticks(std::min(age_lo, age_hi), age_hi), e);
  const Panel by_fit(svg, {kLeft + kSide + kGap, kTop}, kSide, kSide, nice_ticks(0, fitted_hi), e);
  const Panel qq(svg, {kLeft, kTop + kSide + kGap}, kSide, kSide, e, e);
  by_age.axes("age (" + text.age_unit + ")", "standardised innovation", "against age");
  by_fit.axes("fitted height (" + text.height_unit + ")", "standardised innovation", "against fitted height");
  qq.axes("standard normal quantile", "sample quantile", "normal Q-Q plot");
  for (const Panel* panel : {&by_age, &by_fit}) {
    panel->begin_clip();
    const bool age = panel == &by_age;
    for (const Point& p : points_)
      svg.circle(panel->at(age ? p.age * units.age_scale : p.fitted * units.height_scale, p.innovation), 1.6,
                 kCurveColour);
    panel->end_clip();
  }
  qq.begin_clip();
  svg.line(qq.at(e.lo, e.lo), qq.at(e.hi, e.hi), {"#888888", 1, "5 4"});
  const boost::math::normal_distribution<double> normal;
  for (int k = 1; k <= kQuantiles; ++k) {
    const double p = (k - 0.5) / kQuantiles;
    svg.circle(qq.at(boost::math::quantile(normal, p), histogram_.quantile(p)), 2.2, kPointColour);
  }
  qq.end_clip();
  const double n = static_cast<double>(histogram_.count()), mean = sum_ / n;
  char line[4][120];
  std::snprintf(line[0], sizeof line[0], "innovations: %lld", static_cast<long long>(histogram_.count()));
  std::snprintf(line[1], sizeof line[1], "mean %.4f, variance %.4f", mean, squares_ / n - mean * mean);
  std::snprintf(line[2], sizeof line[2], "beyond +-2: %.2f%% (4.55%% expected)",
                100.0 * static_cast<double>(beyond_two_) / n);
  std::snprintf(line[3], sizeof line[3], "scatter: 1 in %lld measurements (%zu shown)", static_cast<long long>(stride_),
                points_.size());
  for (int k = 0; k < 4; ++k) svg.text({kLeft + kSide + kGap, kTop + kSide + kGap + 20 + 22 * k}, line[k], 13);
  svg.commit();
}

}  // namespace projector
