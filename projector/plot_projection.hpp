// What the projector says about one plot, given its curve parameters (the
// estimates: a plug-in computation that treats them as known):
// - at each requested age, the distribution of the plot's true height given
//   all its measurements: the median is the back-transformed conditional
//   mean of the power-scale state, the interval bounds are back-transformed
//   Gaussian quantiles mean -/+ z sd (the scale is monotone, so they are the
//   height's quantiles); for a new measurement the variance adds sigma_e^2;
// - at each measurement, the smoothed fitted height and the standardised
//   innovation R_i / sqrt(V_i) of the plot objective's recursion.
#pragma once

#include <array>

#include "common/limits.hpp"
#include "model/model_records.hpp"
#include "projector/innovations.hpp"
#include "projector/state_smoother.hpp"

namespace projector {

struct HeightInterval {
  double median;
  double lower;
  double upper;
};

struct AgeProjection {
  Moments state;  // conditional mean and variance on the power scale
  HeightInterval height;
  HeightInterval measurement;
};

struct MeasurementFit {
  double fitted;        // back-transformed smoothed state
  double standardised;  // R_i / sqrt(V_i)
};

struct PlotProjection {
  std::array<AgeProjection, kMaxRequestedAges> at_ages;
  std::array<MeasurementFit, common::kMaxMeasurements> at_measurements;
};

// z: the standard normal quantile of (1 + level) / 2. Ages in increasing order.
void project_plot(const model::Curve& curve, int n, const double* ages, const double* heights, int m,
                  const double* requested, double z, PlotProjection& out);

// The standard normal quantile of (1 + level) / 2, 0 < level < 1.
double interval_z(double level);

}  // namespace projector
