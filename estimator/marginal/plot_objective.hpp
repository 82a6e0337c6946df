// The plot objective f (minus twice the log-likelihood of the plot's heights)
// for any number type: the innovations recursion of the likelihood, in the
// order and grouping of its kernels, so that with plain numbers it gives the
// bits of `funct` wherever the curve parameters are the same bits:
//   f = n ln(2 pi) + sum_i (R_i^2 / V_i + ln V_i) + 2 (1 - c) ln(h_1 ... h_n),
//   first:  E = exp((t0 - t1) b), V = vs E^2 + ((1 - E^2) vp + ve), R = Y_1 - ((y0 - A) / c) E,
//   later:  E = exp((t_{i-1} - t_i) b), theta = -(E ve) / V_{i-1},
//           V = ve E^2 + ((1 - E^2) vp + ve) - theta (-(E ve)), R = (Y_i - Y_{i-1} E) - theta R_{i-1},
// with Y_i = (h_i^c - A) / c, A = a^c, vs, vp, ve the squared deviations, and
// x^y = exp(y ln x) with the objective's exp and log. With Taylor
// polynomials in the locals and globals (taylor.hpp) the same code gives the
// derivatives; a quantity that depends on the globals alone (the variances
// when the local is the asymptote, the powers of the heights) is carried
// without the locals.
#pragma once

#include <array>
#include <cmath>
#include <limits>

#include "common/limits.hpp"
#include "estimator/likelihood.hpp"
#include "estimator/marginal/model_adapter.hpp"

namespace estimator::marginal {

// A plot's measurements and what the objective takes of them once.
struct PreparedPlot {
  int n = 0;
  const double* ages = nullptr;
  std::array<double, common::kMaxMeasurements> log_heights{};
  double log_product = 0.0;  // ln(h_1 ... h_n), as the objective takes it
};

// n measurements (1 <= n <= kMaxMeasurements, checked by the caller).
inline void prepare_plot(int n, const double* ages, const double* heights, PreparedPlot& plot) {
  plot.n = n;
  plot.ages = ages;
  double product = 1.0, log_sum = 0.0;
  bool in_range = true;
  for (int i = 0; i < n; ++i) {
    const double h = heights[i];
    plot.log_heights[static_cast<std::size_t>(i)] =
        h < 0.0 ? std::numeric_limits<double>::quiet_NaN() : objective_log(std::fabs(h));
    product = i == 0 ? h : product * h;
    in_range = in_range && std::fabs(product) >= std::numeric_limits<double>::min() &&
               std::fabs(product) <= std::numeric_limits<double>::max();
    log_sum = i == 0 ? plot.log_heights[0] : log_sum + plot.log_heights[static_cast<std::size_t>(i)];
  }
  plot.log_product = in_range ? objective_log(product) : log_sum;
}

template <class TA, class TB, class TG>
auto plot_objective(const CurveOf<TA, TB, TG>& cv, const PreparedPlot& plot) {
  const double* t = plot.ages;
  const auto& logh = plot.log_heights;
  const auto A = exp_of(cv.c * log_of(cv.a));
  const auto vs = cv.s0 * cv.s0;
  const auto vp = cv.sp * cv.sp;
  const auto ve = cv.se * cv.se;

  auto E = exp_of((cv.t0 - t[0]) * cv.b);
  auto G = E * E;
  auto Y = (exp_of(cv.c * logh[0]) - A) / cv.c;
  auto V = vs * G + ((1.0 - G) * vp + ve);
  auto R = Y - ((cv.y0 - A) / cv.c) * E;
  auto f = (plot.n * kLog2Pi + R * R / V) + log_of(V);
  for (int i = 1; i < plot.n; ++i) {
    E = exp_of((t[i - 1] - t[i]) * cv.b);
    G = E * E;
    const auto y_prev = Y;
    Y = (exp_of(cv.c * logh[static_cast<std::size_t>(i)]) - A) / cv.c;
    const auto theta = -(E * ve) / V;
    V = ve * G + ((1.0 - G) * vp + ve) - theta * (-(E * ve));
    R = (Y - y_prev * E) - theta * R;
    f = (f + R * R / V) + log_of(V);
  }
  return f + plot.log_product * (2.0 * (1.0 - cv.c));
}

}  // namespace estimator::marginal
