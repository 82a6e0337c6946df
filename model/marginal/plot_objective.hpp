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
#include "model/marginal/taylor.hpp"

namespace model::marginal {

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
        h < 0.0 ? std::numeric_limits<double>::quiet_NaN() : log_of(std::fabs(h));
    product = i == 0 ? h : product * h;
    in_range = in_range && std::fabs(product) >= std::numeric_limits<double>::min() &&
               std::fabs(product) <= std::numeric_limits<double>::max();
    log_sum = i == 0 ? plot.log_heights[0] : log_sum + plot.log_heights[static_cast<std::size_t>(i)];
  }
  plot.log_product = in_range ? log_of(product) : log_sum;
}

// visit.first(R_1, V_1, W_1, E_1), then visit.later(R_i, V_i, W_i, E_i,
// theta_i) for i = 2 .. n, in order; W_i serves quotients by V_i. Everything it calls is inlined into it, so that the
// polynomials' small arrays stay in registers.
template <class TA, class TB, class TG, class Visit>
[[gnu::flatten]] void innovations_of(const CurveOf<TA, TB, TG>& cv, const PreparedPlot& plot, Visit&& visit) {
  const double* t = plot.ages;
  const auto& logh = plot.log_heights;
  const auto A = exp_of(cv.c * log_of(cv.a));
  const auto vs = cv.s0 * cv.s0;
  const auto vp = cv.sp * cv.sp;
  const auto ve = cv.se * cv.se;

  auto E = exp_of((cv.t0 - t[0]) * cv.b);
  auto G = square_of(E);
  auto Y = (exp_of(cv.c * logh[0]) - A) / cv.c;
  auto V = vs * G + ((1.0 - G) * vp + ve);
  auto inverse = reciprocal_for_quotients(V);
  auto R = Y - ((cv.y0 - A) / cv.c) * E;
  visit.first(R, V, inverse, E);
  for (int i = 1; i < plot.n; ++i) {
    E = exp_of((t[i - 1] - t[i]) * cv.b);
    G = square_of(E);
    const auto y_prev = Y;
    Y = (exp_of(cv.c * logh[static_cast<std::size_t>(i)]) - A) / cv.c;
    const auto shared = -(E * ve);  // the covariance of consecutive differences
    const auto theta = quotient(shared, V, inverse);
    V = ve * G + ((1.0 - G) * vp + ve) - theta * shared;
    inverse = reciprocal_for_quotients(V);
    R = (Y - y_prev * E) - theta * R;
    visit.later(R, V, inverse, E, theta);
  }
}

// f = (... ((n ln(2 pi) + R_1^2 / V_1) + ln V_1) + ...) + ln(h_1 ... h_n) (2 (1 - c)).
template <class TF>
struct ObjectiveSum {
  double start;
  TF f{};
  template <class TR, class TV, class TW, class TE>
  void first(const TR& R, const TV& V, const TW& W, const TE&) {
    f = (start + quotient(square_of(R), V, W)) + log_of(V);
  }
  template <class TR, class TV, class TW, class TE, class TT>
  void later(const TR& R, const TV& V, const TW& W, const TE&, const TT&) {
    f = (f + quotient(square_of(R), V, W)) + log_of(V);
  }
};

template <class TA, class TB, class TG>
auto plot_objective(const CurveOf<TA, TB, TG>& cv, const PreparedPlot& plot) {
  using TF = decltype((cv.a + cv.b) + cv.c);
  ObjectiveSum<TF> sum{plot.n * kObjectiveLog2Pi};
  innovations_of(cv, plot, sum);
  return sum.f + plot.log_product * (2.0 * (1.0 - cv.c));
}

// When the asymptote a is the only local (models 1-5, 14) it enters f only
// through w = a^c / c: E, theta and the variances do not depend on it, and
// every prediction error is affine in it, R_i(a) = R_i(a_c) - (w - w_c) rho_i
// with rho_1 = 1 - E_1, rho_i = (1 - E_i) - theta_i rho_{i-1}. Hence, about a
// centre a_c,
//   f(a) = f(a_c) - 2 B dw + C dw^2,  dw = w(a) - w(a_c),
//   B = sum_i R_i(a_c) rho_i / V_i,  C = sum_i rho_i^2 / V_i.
template <class T>
struct AsymptoteForm {
  T f{}, b{}, c{}, w{};
  T power{};  // c, the exponent of w
};

template <class T>
struct AsymptoteSums {
  ObjectiveSum<T> sum;
  T rho{}, b{}, c{};
  template <class TW, class TE>
  void first(const T& R, const T& V, const TW& W, const TE& E) {
    sum.first(R, V, W, E);
    rho = 1.0 - E;
    b = R * rho / V;
    c = square_of(rho) / V;
  }
  template <class TW, class TE, class TT>
  void later(const T& R, const T& V, const TW& W, const TE& E, const TT& theta) {
    sum.later(R, V, W, E, theta);
    rho = (1.0 - E) - theta * rho;
    b = b + R * rho / V;
    c = c + square_of(rho) / V;
  }
};

// The form about the curve cv, all of whose parameters are of one type.
template <class T>
AsymptoteForm<T> asymptote_form(const CurveOf<T, T, T>& cv, const PreparedPlot& plot) {
  AsymptoteSums<T> s{{plot.n * kObjectiveLog2Pi}};
  innovations_of(cv, plot, s);
  return {s.sum.f + plot.log_product * (2.0 * (1.0 - cv.c)), s.b, s.c, exp_of(cv.c * log_of(cv.a)) / cv.c, cv.c};
}

}  // namespace model::marginal
