// The plot objective of a group of plots, one plot per lane, by the
// innovations recursion. On the power scale Y = (h^c - a^c) / c the state
// decays at rate b towards 0 from the start level at the start age; R is the
// error of predicting a measurement from the earlier ones and V its variance:
//   f = n ln(2 pi) + sum (R^2 / V + ln V) + 2 (1 - c) ln(h_1 h_2 ... h_n),
// the log of the product of the heights taken as the sum of their logs where
// the running product leaves the range of normal doubles. The operations keep
// the order and grouping below so that results repeat to the last bit.
//
// The measurements are taken a stretch at a time in three sweeps: the decay
// factors and transformed heights, which do not depend on each other; then
// the recursion itself, a short chain from one measurement to the next; then
// the logarithms of the variances and the sum. Each sweep keeps the
// processor busy with independent work.
//
// Included by a path's kernel file once GROWTH_LANES names the path.
#ifndef GROWTH_LANES
#error "GROWTH_LANES must name the path (plain or avx2) before this file is included"
#endif
#pragma once

#include "estimator/lanes/group-inl.hpp"
#include "estimator/lanes/lane_math-inl.hpp"
#include <limits>

#include "estimator/likelihood.hpp"

namespace estimator::lanes::GROWTH_LANES {

inline constexpr int kStretch = 16;  // measurements per sweep

struct FunctState {
  Lane t, Y, V, R;  // of the measurement before the stretch
  Lane f, P;        // objective and product of heights so far
  Mask in_range;    // the product has stayed within the normal doubles
  Lane log_sum;     // sum of the logs of the heights
  Lane f_end, P_end, log_sum_end;
  Mask in_range_end;
};

// Sweep 1: E_i = exp(b (t_prev - t_i)) and Y_i; the product of heights.
inline void decay_and_transform(const Group& g, const math::Exponent& power, const Lane& A, int first, int end,
                                FunctState& s, Lane* E, Lane* Y) {
  const Lane b = g.curve[kCurveB], c = g.curve[kCurveC];
  for (int i = first; i < end; ++i) {
    const Lane t = measurement(g, g.ages, i);
    const Lane h = measurement(g, g.heights, i);
    E[i - first] = math::exp(((i == 0 ? g.curve[kCurveT0] : s.t) - t) * b);
    const Lane log_abs_h = math::log(math::abs(h));
    Y[i - first] = (math::pow_from_log(h, log_abs_h, power) - A) / c;
    s.P = i == 0 ? h : s.P * h;
    const Mask normal = math::abs(s.P) >= std::numeric_limits<double>::min() &&
                        math::abs(s.P) <= std::numeric_limits<double>::max();
    s.in_range = i == 0 ? normal : s.in_range && normal;
    const Lane log_h = math::log_from_log_abs(h, log_abs_h);
    s.log_sum = i == 0 ? log_h : s.log_sum + log_h;
    if (some_plot_ends(g, i)) {
      const Mask ends = ends_at(g, i);
      s.P_end = select(ends, s.P, s.P_end);
      s.in_range_end = mask_select(ends, s.in_range, s.in_range_end);
      s.log_sum_end = select(ends, s.log_sum, s.log_sum_end);
    }
    s.t = t;
  }
}

// Sweep 2: the recursion; leaves R_i^2 / V_i in Q and V_i in V.
inline void innovations(const Group& g, const Lane& A, int first, int end, FunctState& s, const Lane* E,
                        const Lane* Y, Lane* Q, Lane* V) {
  const Lane c = g.curve[kCurveC];
  const Lane vs = g.curve[kCurveS0] * g.curve[kCurveS0];
  const Lane vp = g.curve[kCurveSp] * g.curve[kCurveSp];
  const Lane ve = g.curve[kCurveSe] * g.curve[kCurveSe];
  for (int i = first; i < end; ++i) {
    const Lane e = E[i - first], G = e * e;
    if (i == 0) {  // linked to the start of the curve
      s.V = vs * G + ((1.0 - G) * vp + ve);
      s.R = Y[0] - ((g.curve[kCurveY0] - A) / c) * e;
    } else {  // linked to the measurement before
      const Lane theta = -(e * ve) / s.V;
      s.V = ve * G + ((1.0 - G) * vp + ve) - theta * (-(e * ve));
      s.R = (Y[i - first] - s.Y * e) - theta * s.R;
    }
    s.Y = Y[i - first];
    Q[i - first] = s.R * s.R / s.V;
    V[i - first] = s.V;
  }
}

// Sweep 3: f = f + R^2 / V + ln V.
inline void add_terms(const Group& g, int first, int end, FunctState& s, const Lane* Q, const Lane* V) {
  for (int i = first; i < end; ++i) {
    s.f = s.f + Q[i - first] + math::log(V[i - first]);
    if (some_plot_ends(g, i)) s.f_end = select(ends_at(g, i), s.f, s.f_end);
  }
}

inline void funct_group(const Group& g, double* out) {
  const Lane c = g.curve[kCurveC];
  const math::Exponent power = math::exponent(c);
  const Lane a = g.curve[kCurveA];
  const Lane A = math::pow_from_log(a, math::log(math::abs(a)), power);
  FunctState s{};
  s.f = g.n * kLog2Pi;
  std::array<Lane, kStretch> first_sweep, second_sweep;  // E then R^2 / V; Y then V
  for (int first = 0; first < g.steps; first += kStretch) {
    const int end = std::min(g.steps, first + kStretch);
    decay_and_transform(g, power, A, first, end, s, first_sweep.data(), second_sweep.data());
    innovations(g, A, first, end, s, first_sweep.data(), second_sweep.data(), first_sweep.data(), second_sweep.data());
    add_terms(g, first, end, s, first_sweep.data(), second_sweep.data());
  }
  // Change of variables from transformed heights to heights.
  const Lane log_product = select(s.in_range_end, math::log(s.P_end), s.log_sum_end);
  for_each_plot(g, s.f_end + log_product * (2.0 * (1.0 - c)), [&](int j, double v) { out[j] = v; });
}

}  // namespace estimator::lanes::GROWTH_LANES
