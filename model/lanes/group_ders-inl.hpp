// Exact first and second derivatives of the plot objective for a group of
// plots, one plot per lane, with respect to the curve parameters of a set P
// (those the model moves); the formulas of each step are those of `ders`,
// without the terms that are zero for every plot.
//
// Included by a path's kernel file once GROWTH_LANES names the path.
#ifndef GROWTH_LANES
#error "GROWTH_LANES must name the path (plain or avx2) before this file is included"
#endif
#pragma once

#include "model/lanes/ders_terms-inl.hpp"

#include <limits>

namespace model::lanes::GROWTH_LANES {

// The start state M = (y0 - A) / c on the transformed scale.
template <CurveMask P>
inline Jet<P & kStartDeps> start_state(const Group& g, const Recursion<P>& s) {
  constexpr CurveMask kM = P & kStartDeps;
  const Lane c = g.curve[kCurveC];
  Jet<kM> M = zero_jet<kM>();
  M.v = (g.curve[kCurveY0] - s.A) / c;
  d<kCurveA>(M) = -s.A_a / c;
  d<kCurveC>(M) = -(s.A_c + M.v) / c;
  dd<kCurveA, kCurveA>(M) = -s.A_aa / c;
  dd<kCurveC, kCurveC>(M) = -(s.A_cc + 2.0 * d<kCurveC>(M)) / c;
  dd<kCurveA, kCurveC>(M) = -(s.A_ac + d<kCurveA>(M)) / c;
  if constexpr (in(P, kCurveY0)) {
    d<kCurveY0>(M) = 1.0 / c;
    dd<kCurveC, kCurveY0>(M) = -1.0 / (c * c);
  }
  return M;
}

// The first variance V = vs G + vp (1 - G) + ve, G = E^2 with E linking the
// first measurement to the start.
template <CurveMask P, CurveMask ME>
inline Jet<P & kVarianceDeps> first_variance(const Group& g, const Recursion<P>& s, const Jet<ME>& G) {
  constexpr CurveMask kV = P & kVarianceDeps;
  constexpr int B = kCurveB, S0 = kCurveS0, Sp = kCurveSp, Se = kCurveSe, T0 = kCurveT0;
  const Lane s0 = g.curve[kCurveS0], sp = g.curve[kCurveSp], se = g.curve[kCurveSe];
  const Lane vs = s0 * s0, vp = s.vp.v, ve = s.ve.v;
  Jet<kV> V = zero_jet<kV>();
  V.v = vs * G.v + vp * (1.0 - G.v) + ve;
  d<B>(V) = (vs - vp) * d<B>(G);
  d<Sp>(V) = 2.0 * sp * (1.0 - G.v);
  d<Se>(V) = 2.0 * se;
  dd<B, B>(V) = (vs - vp) * dd<B, B>(G);
  dd<Sp, Sp>(V) = 2.0 * (1.0 - G.v);
  dd<Se, Se>(V) = Lane(2.0);
  dd<B, Sp>(V) = -2.0 * sp * d<B>(G);
  if constexpr (in(P, S0)) {
    d<S0>(V) = 2.0 * s0 * G.v;
    dd<S0, S0>(V) = 2.0 * G.v;
    dd<B, S0>(V) = 2.0 * s0 * d<B>(G);
  }
  if constexpr (in(P, T0)) {
    d<T0>(V) = (vs - vp) * d<T0>(G);
    dd<T0, T0>(V) = (vs - vp) * dd<T0, T0>(G);
    dd<B, T0>(V) = (vs - vp) * dd<B, T0>(G);
    dd<T0, Sp>(V) = -2.0 * sp * d<T0>(G);
    if constexpr (in(P, S0)) dd<T0, S0>(V) = 2.0 * s0 * d<T0>(G);
  }
  return V;
}

// First measurement: R = Y - E M; its term assigns the sums.
template <CurveMask P>
inline void first_measurement(const Group& g, Recursion<P>& s, const Lane& t, const Lane& h) {
  constexpr CurveMask kE = P & kFirstDecayDeps;
  s.S = transform(g, s, h);
  const Jet<kE> E = decay<kE>(g.curve[kCurveB], g.curve[kCurveT0] - t);
  s.V = first_variance(g, s, square(E));
  const auto M = start_state(g, s);
  s.R = combine<P>(Lone<Recursion<P>::kY>{s.Y}, minus(E, M));
  add_term<true>(s.R, s.V, s.sum);
}

// C = -E ve, the covariance of consecutive differences.
inline Jet<kCovarianceDeps> covariance(const Jet<kDecayDeps>& E, const Lane& se, const Lane& ve) {
  constexpr int B = kCurveB, Se = kCurveSe;
  Jet<kCovarianceDeps> C;
  C.v = -E.v * ve;
  d<B>(C) = -d<B>(E) * ve;
  d<Se>(C) = -2.0 * se * E.v;
  dd<B, B>(C) = -dd<B, B>(E) * ve;
  dd<B, Se>(C) = -2.0 * se * d<B>(E);
  dd<Se, Se>(C) = -2.0 * E.v;
  return C;
}

// 1 - G and 1 + G.
inline Jet<kDecayDeps> one_minus(const Jet<kDecayDeps>& G) { return {1.0 - G.v, {-G.g[0]}, {-G.h[0]}}; }
inline Jet<kDecayDeps> one_plus(const Jet<kDecayDeps>& G) { return {1.0 + G.v, G.g, G.h}; }

// Later measurements, each linked to the one before it (primes):
//   theta = C / V',  V = (1 - G) vp + (1 + G) ve - theta C,  R = Y - E Y' - theta R'.
template <CurveMask P>
inline void next_measurement(const Group& g, Recursion<P>& s, const Lane& t_prev, const Lane& t, const Lane& h) {
  constexpr CurveMask kV = Recursion<P>::kV;
  const Jet<Recursion<P>::kY> Yp = s.Y;
  const Jet<kV> Vp = s.V;
  const Jet<P> Rp = s.R;
  s.S = s.S + transform(g, s, h);
  const Jet<kDecayDeps> E = decay<kDecayDeps>(g.curve[kCurveB], t_prev - t);
  const Jet<kDecayDeps> G = square(E);
  const Jet<kCovarianceDeps> C = covariance(E, g.curve[kCurveSe], s.ve.v);
  const Jet<kV> theta = quotient(C, Vp);
  s.V = combine<kV>(plus(one_minus(G), s.vp), plus(one_plus(G), s.ve), minus(theta, C));
  s.R = combine<P>(Lone<Recursion<P>::kY>{s.Y}, minus(E, Yp), minus(theta, Rp));
  add_term<false>(s.R, s.V, s.sum);
}

// Copies the sums of the lanes whose plots end here.
template <CurveMask P>
inline void keep_ended(const Mask& ends, const Recursion<P>& s, Jet<P>& sum_end, Lane& S_end) {
  S_end = select(ends, s.S, S_end);
  for (std::size_t k = 0; k < s.sum.g.size(); ++k) sum_end.g[k] = select(ends, s.sum.g[k], sum_end.g[k]);
  for (std::size_t p = 0; p < s.sum.h.size(); ++p) sum_end.h[p] = select(ends, s.sum.h[p], sum_end.h[p]);
}

// fgrad and the upper triangle of fhess of each plot; not-a-number for the
// parameters outside P.
template <CurveMask P>
inline void write_derivatives(const Group& g, const Jet<P>& x, CurveGradient* fgrad, CurveHessian* fhess) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  for (int j = 0; j < g.count; ++j) {
    each<kAllCurveParameters & ~P>([&](auto k) { fgrad[j][k] = kNaN; });
    each_pair<kAllCurveParameters>([&](auto k, auto l) {
      if constexpr (!in(P, k) || !in(P, l)) fhess[j][k + 8 * l] = kNaN;
    });
  }
  each<P>([&](auto k) { for_each_plot(g, d<k>(x), [&](int j, double v) { fgrad[j][k] = v; }); });
  each_pair<P>(
      [&](auto k, auto l) { for_each_plot(g, dd<k, l>(x), [&](int j, double v) { fhess[j][k + 8 * l] = v; }); });
}

template <CurveMask P>
inline void ders_group(const Group& g, CurveGradient* fgrad, CurveHessian* fhess) {
  Recursion<P> s;
  start_plot(g, s);
  Lane t = measurement(g, g.ages, 0);
  first_measurement(g, s, t, measurement(g, g.heights, 0));
  Jet<P> sum_end = s.sum;
  Lane S_end = s.S;
  for (int i = 1; i < g.steps; ++i) {
    const Lane t_prev = t;
    t = measurement(g, g.ages, i);
    next_measurement(g, s, t_prev, t, measurement(g, g.heights, i));
    if (some_plot_ends(g, i)) keep_ended(ends_at(g, i), s, sum_end, S_end);
  }
  // The change-of-variables term 2 (1 - c) sum ln h is linear in c.
  d<kCurveC>(sum_end) = d<kCurveC>(sum_end) - 2.0 * S_end;
  write_derivatives(g, sum_end, fgrad, fhess);
}

}  // namespace model::lanes::GROWTH_LANES
