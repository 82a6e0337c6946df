// The pieces of the derivative recursion (group_ders-inl.hpp): the state
// carried from measurement to measurement, the per-plot terms of a^c, the
// transformed height, the decay factor and the derivatives of each
// measurement's term. Each quantity is carried with its derivatives with
// respect to the parameters that reach it, within the set P:
//   A = a^c, M = (y0 - A) / c and Y = (h^c - A) / c depend on a, c (M also
//   on y0); E = exp(b delta) and G = E^2 on b (first measurement also t0);
//   C = -E ve on b, sigmae; V and theta on b, sigma0, sigmap, sigmae, t0;
//   R on all of P.
//
// Included by a path's kernel file once GROWTH_LANES names the path.
#ifndef GROWTH_LANES
#error "GROWTH_LANES must name the path (plain or avx2) before this file is included"
#endif
#pragma once

#include "model/lanes/c_library_lanes-inl.hpp"
#include "model/lanes/group-inl.hpp"
#include "model/lanes/jet-inl.hpp"

namespace model::lanes::GROWTH_LANES {

inline constexpr CurveMask kPowerDeps = curve_bit(kCurveA) | curve_bit(kCurveC);
inline constexpr CurveMask kStartDeps = kPowerDeps | curve_bit(kCurveY0);
inline constexpr CurveMask kFirstDecayDeps = curve_bit(kCurveB) | curve_bit(kCurveT0);
inline constexpr CurveMask kDecayDeps = curve_bit(kCurveB);
inline constexpr CurveMask kCovarianceDeps = curve_bit(kCurveB) | curve_bit(kCurveSe);
inline constexpr CurveMask kVarianceDeps =
    curve_bit(kCurveB) | curve_bit(kCurveS0) | curve_bit(kCurveSp) | curve_bit(kCurveSe) | curve_bit(kCurveT0);

template <CurveMask P>
struct Recursion {
  static constexpr CurveMask kY = P & kPowerDeps;
  static constexpr CurveMask kV = P & kVarianceDeps;
  static_assert((P & kAlwaysMoved) == kAlwaysMoved);

  // A = a^c and its derivatives, the same for every measurement.
  Lane A, A_a, A_c, A_aa, A_cc, A_ac;
  Jet<curve_bit(kCurveSp)> vp;  // sigmap^2
  Jet<curve_bit(kCurveSe)> ve;  // sigmae^2
  Jet<kY> Y;                    // its a-derivatives are fixed per plot
  Jet<kV> V;
  Jet<P> R;
  Jet<P> sum;  // derivatives of the objective so far (the value is unused)
  Lane S;      // sum of ln h
};

template <CurveMask P>
inline void start_plot(const Group& g, Recursion<P>& s) {
  const Lane a = g.curve[kCurveA], c = g.curve[kCurveC];
  const Lane sp = g.curve[kCurveSp], se = g.curve[kCurveSe];
  s.A = clib::pow(a, c);
  const Lane log_a = clib::log(a);
  s.A_a = c * s.A / a;
  s.A_c = s.A * log_a;
  s.A_aa = c * (c - 1.0) * s.A / (a * a);
  s.A_cc = s.A * log_a * log_a;
  s.A_ac = s.A * (1.0 + c * log_a) / a;
  s.vp.v = sp * sp;
  d<kCurveSp>(s.vp) = 2.0 * sp;
  dd<kCurveSp, kCurveSp>(s.vp) = Lane(2.0);
  s.ve.v = se * se;
  d<kCurveSe>(s.ve) = 2.0 * se;
  dd<kCurveSe, kCurveSe>(s.ve) = Lane(2.0);
  d<kCurveA>(s.Y) = -s.A_a / c;
  dd<kCurveA, kCurveA>(s.Y) = -s.A_aa / c;
  dd<kCurveA, kCurveC>(s.Y) = -(s.A_ac + d<kCurveA>(s.Y)) / c;
}

// Y = (H - A) / c with H = h^c; returns ln h.
template <CurveMask P>
inline Lane transform(const Group& g, Recursion<P>& s, const Lane& height) {
  const Lane c = g.curve[kCurveC];
  const Lane H = clib::pow(height, c);
  const Lane L = clib::log(height);
  s.Y.v = (H - s.A) / c;
  d<kCurveC>(s.Y) = (H * L - s.A_c - s.Y.v) / c;
  dd<kCurveC, kCurveC>(s.Y) = (H * L * L - s.A_cc - 2.0 * d<kCurveC>(s.Y)) / c;
  return L;
}

// E = exp(b delta); with t0 in M (first measurement, delta = t0 - t_1) also
// its t0-derivatives.
template <CurveMask M>
inline Jet<M> decay(const Lane& b, const Lane& delta) {
  Jet<M> E;
  E.v = clib::exp(b * delta);
  d<kCurveB>(E) = delta * E.v;
  dd<kCurveB, kCurveB>(E) = delta * delta * E.v;
  if constexpr (in(M, kCurveT0)) {
    d<kCurveT0>(E) = b * E.v;
    dd<kCurveT0, kCurveT0>(E) = b * b * E.v;
    dd<kCurveB, kCurveT0>(E) = E.v * (1.0 + b * delta);
  }
  return E;
}

// Terms of a sum of jets: a jet on its own, or a product of two, added or
// subtracted. combine<M>(terms...) forms the sum and its derivatives over M,
// each entry from the terms that reach it, in the order given.
template <CurveMask MX>
struct Lone {
  const Jet<MX>& x;
  void add_value(Sum& s) const { s.add(x.v); }
  template <int K>
  void add_first(Sum& s) const {
    add_d<K>(s, x);
  }
  template <int K, int L>
  void add_second(Sum& s) const {
    add_dd<K, L>(s, x);
  }
};

template <bool Minus, CurveMask MX, CurveMask MY>
struct Product {
  const Jet<MX>& x;
  const Jet<MY>& y;
  void add_value(Sum& s) const { s.put<Minus>(x.v * y.v); }
  template <int K>
  void add_first(Sum& s) const {
    product_d<K, Minus>(s, x, y);
  }
  template <int K, int L>
  void add_second(Sum& s) const {
    product_dd<K, L, Minus>(s, x, y);
  }
};
template <CurveMask MX, CurveMask MY>
Product<false, MX, MY> plus(const Jet<MX>& x, const Jet<MY>& y) {
  return {x, y};
}
template <CurveMask MX, CurveMask MY>
Product<true, MX, MY> minus(const Jet<MX>& x, const Jet<MY>& y) {
  return {x, y};
}

template <CurveMask M, class... Terms>
inline Jet<M> combine(const Terms&... terms) {
  Jet<M> r;
  Sum value;
  (terms.add_value(value), ...);
  r.v = value.value();
  each<M>([&](auto k) {
    Sum s;
    (terms.template add_first<decltype(k)::value>(s), ...);
    d<k>(r) = s.value();
  });
  each_pair<M>([&](auto k, auto l) {
    Sum s;
    (terms.template add_second<decltype(k)::value, decltype(l)::value>(s), ...);
    dd<k, l>(r) = s.value();
  });
  return r;
}

// theta = C / V' with theta_k = (C_k - theta V'_k) / V' and
// theta_kl = (C_kl - theta_k V'_l - theta_l V'_k - theta V'_kl) / V'.
template <CurveMask MV, CurveMask MC>
inline Jet<MV> quotient(const Jet<MC>& C, const Jet<MV>& Vp) {
  Jet<MV> q;
  q.v = C.v / Vp.v;
  each<MV>([&](auto k) {
    Sum s;
    add_d<k>(s, C);
    s.sub(q.v * d<k>(Vp));
    d<k>(q) = s.value() / Vp.v;
  });
  each_pair<MV>([&](auto k, auto l) {
    Sum s;
    add_dd<k, l>(s, C);
    s.sub(d<k>(q) * d<l>(Vp));
    s.sub(d<l>(q) * d<k>(Vp));
    s.sub(q.v * dd<k, l>(Vp));
    dd<k, l>(q) = s.value() / Vp.v;
  });
  return q;
}

// Adds (or, for the first measurement, assigns) the derivatives of
// T = ln V + R^2 / V to the sums:
//   T_k = k1 R_k + k2 V_k,
//   T_kl = k1 R_kl + k2 V_kl + (2 / V) R_k R_l - (2 R / V^2) (R_k V_l + R_l V_k) + ((2 R^2 / V - 1) / V^2) V_k V_l.
template <bool Assign, CurveMask P, CurveMask MV>
inline void add_term(const Jet<P>& R, const Jet<MV>& V, Jet<P>& sum) {
  const Lane k1 = 2.0 * R.v / V.v;
  const Lane k2 = (1.0 - R.v * R.v / V.v) / V.v;
  const Lane crr = 2.0 / V.v;
  const Lane crv = 2.0 * R.v / (V.v * V.v);
  const Lane cvv = (2.0 * R.v * R.v / V.v - 1.0) / (V.v * V.v);
  auto put = [](Lane& out, const Lane& t) { out = Assign ? t : out + t; };
  each<P>([&](auto k) {
    Sum t;
    t.add(k1 * d<k>(R));
    if constexpr (in(MV, k)) t.add(k2 * d<k>(V));
    put(d<k>(sum), t.value());
  });
  each_pair<P>([&](auto k, auto l) {
    const Lane& rk = d<k>(R);
    const Lane& rl = d<l>(R);
    Sum t;
    t.add(k1 * dd<k, l>(R));
    if constexpr (in(MV, k) && in(MV, l)) t.add(k2 * dd<k, l>(V));
    t.add(crr * rk * rl);
    if constexpr (in(MV, k) || in(MV, l)) {
      Sum cross;
      if constexpr (in(MV, l)) cross.add(rk * d<l>(V));
      if constexpr (in(MV, k)) cross.add(rl * d<k>(V));
      t.sub(crv * cross.value());
    }
    if constexpr (in(MV, k) && in(MV, l)) t.add(cvv * d<k>(V) * d<l>(V));
    put(dd<k, l>(sum), t.value());
  });
}

}  // namespace model::lanes::GROWTH_LANES
