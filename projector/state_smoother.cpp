#include "projector/state_smoother.hpp"

#include <cmath>
#include <limits>

namespace projector {
namespace {

struct GridPoint {
  double age;
  int measurement;  // index of the measurement, or -1
  int request;      // index of the requested age, or -1
};

struct FilterStep {
  double e;  // decay factor from the previous grid point
  Moments predicted;
  Moments filtered;
};

// Measurement ages and requested ages from t0 on, merged in age order; at a
// tie the measurement comes first (no time passes between them).
int merge_grid(int n, const double* ages, int m, const double* requested, double t0,
               std::array<GridPoint, kMaxGridPoints>& grid) {
  int i = 0, j = 0, k = 0;
  while (j < m && requested[j] < t0) ++j;
  while (i < n || j < m) {
    if (j >= m || (i < n && ages[i] <= requested[j])) {
      grid[static_cast<std::size_t>(k++)] = {ages[i], i, -1};
      ++i;
    } else {
      grid[static_cast<std::size_t>(k++)] = {requested[j], -1, j};
      ++j;
    }
  }
  return k;
}

}  // namespace

void smooth_state(const model::Curve& curve, int n, const double* ages, const double* y, int m, const double* requested,
                  SmoothedState& out) {
  const double b = curve[model::kCurveB], c = curve[model::kCurveC];
  const double vs = curve[model::kCurveS0] * curve[model::kCurveS0],
               vp = curve[model::kCurveSp] * curve[model::kCurveSp],
               ve = curve[model::kCurveSe] * curve[model::kCurveSe];
  const double t0 = curve[model::kCurveT0];
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int j = 0; j < m; ++j) out.at_ages[static_cast<std::size_t>(j)] = {nan, nan};

  std::array<GridPoint, kMaxGridPoints> grid;
  const int points = merge_grid(n, ages, m, requested, t0, grid);
  std::array<FilterStep, kMaxGridPoints> steps;
  Moments state{(curve[model::kCurveY0] - std::pow(curve[model::kCurveA], c)) / c, vs};
  double t_prev = t0;
  for (int k = 0; k < points; ++k) {
    const GridPoint& g = grid[static_cast<std::size_t>(k)];
    FilterStep& s = steps[static_cast<std::size_t>(k)];
    // The same decay factor as the plot objective's: exp((t_prev - t) b).
    s.e = std::exp((t_prev - g.age) * b);
    const double gg = s.e * s.e;
    s.predicted = {s.e * state.mean, gg * state.variance + (1.0 - gg) * vp};
    state = s.predicted;
    if (g.measurement >= 0) {
      // Y_i = X + e_i: gain K = P / (P + ve); the filtered variance P ve / (P + ve).
      const double total = s.predicted.variance + ve;
      const double gain = s.predicted.variance / total;
      state.mean = s.predicted.mean + gain * (y[g.measurement] - s.predicted.mean);
      state.variance = s.predicted.variance * ve / total;
    }
    s.filtered = state;
    t_prev = g.age;
  }
  // Backward: J = P_f(k) E(k+1) / P_p(k+1); the smoothed moments at k add J
  // times what the later measurements taught about the state at k+1.
  Moments smoothed = state;
  for (int k = points - 1; k >= 0; --k) {
    const FilterStep& s = steps[static_cast<std::size_t>(k)];
    if (k < points - 1) {
      const FilterStep& next = steps[static_cast<std::size_t>(k + 1)];
      const double j = next.predicted.variance > 0.0 ? s.filtered.variance * next.e / next.predicted.variance : 0.0;
      smoothed = {s.filtered.mean + j * (smoothed.mean - next.predicted.mean),
                  s.filtered.variance + j * j * (smoothed.variance - next.predicted.variance)};
    }
    const GridPoint& g = grid[static_cast<std::size_t>(k)];
    if (g.measurement >= 0) out.at_measurements[static_cast<std::size_t>(g.measurement)] = smoothed;
    if (g.request >= 0) out.at_ages[static_cast<std::size_t>(g.request)] = smoothed;
  }
}

}  // namespace projector
