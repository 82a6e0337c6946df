// The plot objective of a group of plots, one plot per lane, by the
// innovations recursion. On the power scale Y = (h^c - a^c) / c the state
// decays at rate b towards 0 from the start level at the start age; R is the
// error of predicting a measurement from the earlier ones and V its variance:
//   f = n ln(2 pi) + sum (R^2 / V + ln V) + 2 (1 - c) ln(h_1 h_2 ... h_n),
// the log of the product of the heights taken as the sum of their logs where
// the running product leaves the range of normal doubles. The operations keep
// the order and grouping below so that results repeat to the last bit.
//
// The measurements are taken a stretch at a time in sweeps, each a short loop
// whose steps do not depend on each other (so that the processor overlaps
// them), except the recursion itself, a short chain from one measurement to
// the next: the intervals, heights and logs of heights; the decay factors;
// the transformed heights; the recursion; the logs of the variances and the
// sum.
//
// Included by a path's kernel file once GROWTH_LANES names the path.
#ifndef GROWTH_LANES
#error "GROWTH_LANES must name the path (plain or avx2) before this file is included"
#endif
#pragma once

#include <limits>
#include "model/lanes/group-inl.hpp"
#include "model/lanes/lane_math-inl.hpp"

#include "model/likelihood.hpp"

namespace model::lanes::GROWTH_LANES {

inline constexpr int kStretch = 16;  // measurements per sweep

struct FunctState {
  Lane t, Y, V, R;  // of the measurement before the stretch
  Lane f, P;        // objective and product of heights so far
  Mask in_range;    // the product has stayed within the normal doubles
  Lane log_sum;     // sum of the logs of the heights
  Lane f_end, P_end, log_sum_end;
  Mask in_range_end;
};

// Three values per measurement of a stretch, reused from sweep to sweep.
struct Stretch {
  std::array<Lane, kStretch> a, b, c;
};

// The intervals t_prev - t_i (t0 - t_1 first) into a, the heights into b and
// ln|h_i| into c; the product and the sum of the logs of the heights.
inline void read_stretch(const Group& g, int first, int end, FunctState& s, Stretch& w) {
  for (int i = first; i < end; ++i) {
    const auto k = static_cast<std::size_t>(i - first);
    const Lane t = measurement(g, g.ages, i);
    const Lane h = measurement(g, g.heights, i);
    w.a[k] = (i == 0 ? g.curve[kCurveT0] : s.t) - t;
    w.b[k] = h;
    s.P = i == 0 ? h : s.P * h;
    const Mask normal =
        math::abs(s.P) >= std::numeric_limits<double>::min() && math::abs(s.P) <= std::numeric_limits<double>::max();
    s.in_range = i == 0 ? normal : s.in_range && normal;
    if (some_plot_ends(g, i)) {
      const Mask ends = ends_at(g, i);
      s.P_end = select(ends, s.P, s.P_end);
      s.in_range_end = mask_select(ends, s.in_range, s.in_range_end);
    }
    s.t = t;
  }
  for (std::size_t k = 0; k < static_cast<std::size_t>(end - first); ++k) w.c[k] = math::log(math::abs(w.b[k]));
  for (int i = first; i < end; ++i) {
    const auto k = static_cast<std::size_t>(i - first);
    const Lane log_h = math::log_from_log_abs(w.b[k], w.c[k]);
    s.log_sum = i == 0 ? log_h : s.log_sum + log_h;
    if (some_plot_ends(g, i)) s.log_sum_end = select(ends_at(g, i), s.log_sum, s.log_sum_end);
  }
}

// E_i = exp((t_prev - t_i) b) into a; Y_i = (h_i^c - A) / c into b.
inline void decays_and_heights(const Group& g, const math::Exponent& power, const Lane& A, int count, Stretch& w) {
  const Lane b = g.curve[kCurveB], c = g.curve[kCurveC];
  for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k) w.a[k] = math::exp(w.a[k] * b);
  for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k)
    w.b[k] = (math::pow_from_log(w.b[k], w.c[k], power) - A) / c;
}

// The recursion: R_i^2 / V_i into c, V_i into b.
inline void innovations(const Group& g, const Lane& A, int first, int end, FunctState& s, Stretch& w) {
  const Lane c = g.curve[kCurveC];
  const Lane vs = g.curve[kCurveS0] * g.curve[kCurveS0];
  const Lane vp = g.curve[kCurveSp] * g.curve[kCurveSp];
  const Lane ve = g.curve[kCurveSe] * g.curve[kCurveSe];
  for (int i = first; i < end; ++i) {
    const auto k = static_cast<std::size_t>(i - first);
    const Lane e = w.a[k], G = e * e;
    if (i == 0) {  // linked to the start of the curve
      s.V = vs * G + ((1.0 - G) * vp + ve);
      s.R = w.b[0] - ((g.curve[kCurveY0] - A) / c) * e;
    } else {  // linked to the measurement before
      const Lane theta = -(e * ve) / s.V;
      s.V = ve * G + ((1.0 - G) * vp + ve) - theta * (-(e * ve));
      s.R = (w.b[k] - s.Y * e) - theta * s.R;
    }
    s.Y = w.b[k];
    w.c[k] = s.R * s.R / s.V;
    w.b[k] = s.V;
  }
}

// f = f + R^2 / V + ln V.
inline void add_terms(const Group& g, int first, int end, FunctState& s, const Stretch& w) {
  for (int i = first; i < end; ++i) {
    const auto k = static_cast<std::size_t>(i - first);
    s.f = s.f + w.c[k] + math::log(w.b[k]);
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
  Stretch w;
  for (int first = 0; first < g.steps; first += kStretch) {
    const int end = std::min(g.steps, first + kStretch);
    read_stretch(g, first, end, s, w);
    decays_and_heights(g, power, A, end - first, w);
    innovations(g, A, first, end, s, w);
    add_terms(g, first, end, s, w);
  }
  // Change of variables from transformed heights to heights.
  const Lane log_product = select(s.in_range_end, math::log(s.P_end), s.log_sum_end);
  for_each_plot(g, s.f_end + log_product * (2.0 * (1.0 - c)), [&](int j, double v) { out[j] = v; });
}

}  // namespace model::lanes::GROWTH_LANES
