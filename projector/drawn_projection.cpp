#include "projector/drawn_projection.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "projector/power_scale.hpp"
#include "projector/state_smoother.hpp"

namespace projector {

DrawnProjection::DrawnProjection(int draws, double level)
    : draws_(draws),
      low_(0.5 - 0.5 * level),
      high_(0.5 + 0.5 * level),
      heights_(static_cast<std::size_t>(draws) * kMaxRequestedAges),
      measured_(heights_.size()) {}

HeightInterval DrawnProjection::quantiles(double* values) const {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (std::any_of(values, values + draws_, [](double v) { return std::isnan(v); })) return {nan, nan, nan};
  const auto rank = [this](double p) { return static_cast<std::ptrdiff_t>(std::lround(p * (draws_ - 1))); };
  const std::ptrdiff_t lo = rank(low_), mid = rank(0.5), hi = rank(high_);
  std::nth_element(values, values + mid, values + draws_);
  std::nth_element(values, values + lo, values + mid);
  std::nth_element(values + mid, values + hi, values + draws_);
  return {values[mid], values[lo], values[hi]};
}

void DrawnProjection::project(CurveDraws& curves, const PlotData& plot, int m, const double* requested,
                              PlotProjection& out) {
  NormalStream z = plot_stream(plot.position, kDrawSeed);
  model::Curve curve{};
  model::Measurements y{};
  SmoothedState smoothed;
  const auto K = static_cast<std::size_t>(draws_);
  for (std::size_t k = 0; k < K; ++k) {
    curves.draw(z, curve);
    const PowerScale scale = power_scale(curve);
    const double ve = curve[model::kCurveSe] * curve[model::kCurveSe];
    for (int i = 0; i < plot.n; ++i) y[static_cast<std::size_t>(i)] = scale.state(plot.heights[static_cast<std::size_t>(i)]);
    smooth_state(curve, plot.n, plot.ages.data(), y.data(), m, requested, smoothed);
    for (int j = 0; j < m; ++j) {
      const Moments s = smoothed.at_ages[static_cast<std::size_t>(j)];
      const double e = z.next();
      heights_[static_cast<std::size_t>(j) * K + k] = scale.height(s.mean + e * std::sqrt(s.variance));
      measured_[static_cast<std::size_t>(j) * K + k] = scale.height(s.mean + e * std::sqrt(s.variance + ve));
    }
  }
  for (int j = 0; j < m; ++j) {
    AgeProjection& a = out.at_ages[static_cast<std::size_t>(j)];
    a.height = quantiles(heights_.data() + static_cast<std::size_t>(j) * K);
    a.measurement = quantiles(measured_.data() + static_cast<std::size_t>(j) * K);
  }
}

}  // namespace projector
