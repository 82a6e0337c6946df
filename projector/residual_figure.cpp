#include "projector/residual_figure.hpp"

#include <algorithm>
#include <array>
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

// Round numbers from -extreme to extreme (-3 to 3 when there is nothing to show).
Ticks symmetric_ticks(double extreme) {
  const double e = extreme > 0 && std::isfinite(extreme) ? extreme : 3.0;
  return nice_ticks(-e, e);
}

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

// Every axis spans what its panel shows: the scatter panels the innovations,
// ages and fitted heights of the points drawn, the Q-Q plot the normal and
// the sample quantiles drawn (one scale on both axes, so that the diagonal is
// the line of a perfect fit).
void ResidualFigure::write(const std::string& path, const Units& units, const FigureText& text) const {
  double extreme = 0, age_hi = -std::numeric_limits<double>::infinity(), fitted_hi = age_hi;
  double age_lo = std::numeric_limits<double>::infinity(), fitted_lo = 0;
  for (const Point& p : points_) {
    extreme = std::max(extreme, std::fabs(p.innovation));
    age_lo = std::min(age_lo, p.age * units.age_scale);
    age_hi = std::max(age_hi, p.age * units.age_scale);
    if (!std::isfinite(p.fitted)) continue;
    fitted_lo = std::min(fitted_lo, p.fitted * units.height_scale);
    fitted_hi = std::max(fitted_hi, p.fitted * units.height_scale);
  }
  const boost::math::normal_distribution<double> normal;
  std::array<std::array<double, 2>, kQuantiles> quantile_pairs;
  double qq_extreme = 0;
  for (int k = 1; k <= kQuantiles; ++k) {
    const double p = (k - 0.5) / kQuantiles;
    auto& q = quantile_pairs[static_cast<std::size_t>(k - 1)];
    q = {boost::math::quantile(normal, p), histogram_.quantile(p)};
    qq_extreme = std::max({qq_extreme, std::fabs(q[0]), std::isfinite(q[1]) ? std::fabs(q[1]) : 0.0});
  }
  const Ticks e = symmetric_ticks(extreme), qe = symmetric_ticks(qq_extreme);
  const Ticks ages = points_.empty() ? nice_ticks(0, 1) : nice_ticks(age_lo, age_hi);
  const Ticks fitted = std::isfinite(fitted_hi) ? nice_ticks(fitted_lo, fitted_hi) : nice_ticks(0, 1);
  io::SvgWriter svg(path, "residual figure", kWidth, kTop + 2 * kSide + kGap + 40);
  svg.text({kWidth / 2, 22}, "Standardised innovations (independent standard normal under the model)", 15,
           io::Anchor::middle);
  const Panel by_age(svg, {kLeft, kTop}, kSide, kSide, ages, e);
  const Panel by_fit(svg, {kLeft + kSide + kGap, kTop}, kSide, kSide, fitted, e);
  const Panel qq(svg, {kLeft, kTop + kSide + kGap}, kSide, kSide, qe, qe);
  by_age.axes("age (" + text.age_unit + ")", "standardised innovation", "against age");
  by_fit.axes("fitted height (" + text.height_unit + ")", "standardised innovation", "against fitted height");
  qq.axes("standard normal quantile", "sample quantile", "normal Q-Q plot");
  for (const Panel* panel : {&by_age, &by_fit}) {
    panel->begin_clip();
    const bool age = panel == &by_age;
    for (const Point& p : points_)
      if (age || std::isfinite(p.fitted))
        svg.circle(panel->at(age ? p.age * units.age_scale : p.fitted * units.height_scale, p.innovation), 1.6,
                   kCurveColour);
    panel->end_clip();
  }
  qq.begin_clip();
  svg.line(qq.at(qe.lo, qe.lo), qq.at(qe.hi, qe.hi), {"#888888", 1, "5 4"});
  for (const auto& q : quantile_pairs)
    if (std::isfinite(q[1])) svg.circle(qq.at(q[0], q[1]), 2.2, kPointColour);
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
