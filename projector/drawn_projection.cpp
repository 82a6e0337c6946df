#include "projector/drawn_projection.hpp"

#include <algorithm>
#include <boost/math/distributions/normal.hpp>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "projector/power_scale.hpp"
#include "projector/state_smoother.hpp"

namespace projector {

DrawnProjection::DrawnProjection(int draws, double level, int ages)
    : draws_(draws),
      low_(0.5 - 0.5 * level),
      high_(0.5 + 0.5 * level),
      heights_(static_cast<std::size_t>(draws) * static_cast<std::size_t>(std::max(ages, 1))),
      measured_(heights_.size()),
      strata_(static_cast<std::size_t>(draws)),
      order_(static_cast<std::size_t>(draws)) {
  for (int i = 0; i < draws; ++i)
    strata_[static_cast<std::size_t>(i)] =
        boost::math::quantile(boost::math::normal_distribution<double>(), (i + 0.5) / draws);
}

// Order statistics x_(1) <= ... <= x_(K): x_(r) + (h - r) (x_(r+1) - x_(r)),
// h = p (K + 1), r its integer part, held within 1 .. K.
double DrawnProjection::quantile(double* values, double p) const {
  const double h = std::clamp(p * (draws_ + 1.0), 1.0, static_cast<double>(draws_));
  const auto r = static_cast<std::ptrdiff_t>(std::floor(h));
  std::nth_element(values, values + (r - 1), values + draws_);
  const double low = values[r - 1];
  if (r >= draws_) return low;
  const double high = *std::min_element(values + r, values + draws_);
  return low + (h - static_cast<double>(r)) * (high - low);
}

HeightInterval DrawnProjection::quantiles(double* values) const {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (std::any_of(values, values + draws_, [](double v) { return std::isnan(v); })) return {nan, nan, nan};
  return {quantile(values, 0.5), quantile(values, low_), quantile(values, high_)};
}

void DrawnProjection::project(CurveDraws& curves, const PlotData& plot, int m, const double* requested,
                              PlotProjection& out) {
  if (static_cast<std::size_t>(m) * static_cast<std::size_t>(draws_) > heights_.size())
    throw std::logic_error("DrawnProjection: more ages than it was made for");
  NormalStream z = plot_stream(plot.position, kDrawSeed);
  for (int i = 0; i < draws_; ++i) {  // Fisher-Yates
    const auto j = std::min(i, static_cast<int>(z.uniform() * (i + 1)));
    order_[static_cast<std::size_t>(i)] = order_[static_cast<std::size_t>(j)];
    order_[static_cast<std::size_t>(j)] = i;
  }
  model::Curve curve{};
  model::Measurements y{};
  SmoothedState smoothed;
  const auto K = static_cast<std::size_t>(draws_);
  for (std::size_t k = 0; k < K; ++k) {
    curves.draw(z, curve);
    const PowerScale scale = power_scale(curve);
    const double ve = curve[model::kCurveSe] * curve[model::kCurveSe];
    for (int i = 0; i < plot.n; ++i)
      y[static_cast<std::size_t>(i)] = scale.state(plot.heights[static_cast<std::size_t>(i)]);
    smooth_state(curve, plot.n, plot.ages.data(), y.data(), m, requested, smoothed);
    for (int j = 0; j < m; ++j) {
      const Moments s = smoothed.at_ages[static_cast<std::size_t>(j)];
      const double e = strata_[static_cast<std::size_t>(order_[k])];
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
