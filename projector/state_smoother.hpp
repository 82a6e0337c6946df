// Conditional moments of a plot's power-scale state X(t) given all its
// measurements: a Kalman filter forward and a Rauch-Tung-Striebel smoother
// backward over the merged, sorted grid of measurement ages and requested
// ages. The law: X(t0) has mean (y0 - a^c)/c and variance sigma0^2; over an
// interval d, X(t) = E X(s) + w with E = exp(-b d) and var w = sigma_p^2 (1 - E^2);
// a measurement is Y_i = X(t_i) + e_i with var e_i = sigma_e^2.
// Requested ages before t0 lie outside the law and get NaN moments;
// measurement ages before t0 follow the same formulas as the plot objective.
// Cost linear in n + m, fixed-size arrays.
#pragma once

#include <array>

#include "common/limits.hpp"
#include "model/model_records.hpp"

namespace projector {

inline constexpr int kMaxRequestedAges = 400;
inline constexpr int kMaxGridPoints = common::kMaxMeasurements + kMaxRequestedAges;

struct Moments {
  double mean;
  double variance;
};

struct SmoothedState {
  std::array<Moments, common::kMaxMeasurements> at_measurements;
  std::array<Moments, kMaxRequestedAges> at_ages;
};

// n measurements (ages not decreasing, power-scale values y); m requested
// ages in increasing order (m <= kMaxRequestedAges).
void smooth_state(const model::Curve& curve, int n, const double* ages, const double* y, int m, const double* requested,
                  SmoothedState& out);

}  // namespace projector
