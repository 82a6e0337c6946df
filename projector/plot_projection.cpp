#include "projector/plot_projection.hpp"

#include <boost/math/distributions/normal.hpp>
#include <cmath>

#include "projector/power_scale.hpp"

namespace projector {
namespace {

HeightInterval back_transform(const PowerScale& scale, double mean, double variance, double z) {
  const double sd = std::sqrt(variance);
  return {scale.height(mean), scale.height(mean - z * sd), scale.height(mean + z * sd)};
}

}  // namespace

// Boost.Math's quantile of the normal distribution (through its inverse
// complementary error function) is accurate to a few ulps over (0, 1).
double interval_z(double level) {
  return boost::math::quantile(boost::math::normal_distribution<double>(), 0.5 + 0.5 * level);
}

void project_plot(const model::Curve& curve, int n, const double* ages, const double* heights, int m,
                  const double* requested, double z, PlotProjection& out) {
  const PowerScale scale = power_scale(curve);
  const double ve = curve[model::kCurveSe] * curve[model::kCurveSe];
  model::Measurements y{};
  for (int i = 0; i < n; ++i) y[static_cast<std::size_t>(i)] = scale.state(heights[i]);
  SmoothedState smoothed;
  smooth_state(curve, n, ages, y.data(), m, requested, smoothed);
  for (int j = 0; j < m; ++j) {
    const Moments s = smoothed.at_ages[static_cast<std::size_t>(j)];
    out.at_ages[static_cast<std::size_t>(j)] = {s, back_transform(scale, s.mean, s.variance, z),
                                                back_transform(scale, s.mean, s.variance + ve, z)};
  }
  std::array<Innovation, common::kMaxMeasurements> innovation;
  innovations(curve, n, ages, heights, innovation.data());
  for (int i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    out.at_measurements[k] = {scale.height(smoothed.at_measurements[k].mean),
                              innovation[k].r / std::sqrt(innovation[k].v)};
  }
}

}  // namespace projector
