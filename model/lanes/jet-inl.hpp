// A quantity of the likelihood recursion together with its first and second
// derivatives with respect to a set M of curve parameters known when the code
// is compiled, and the product rule written once over such sets. Derivatives
// with respect to parameters outside M are zero and are neither stored nor
// computed, so each formula keeps only the terms that can be non-zero, in
// the order the full formula has them.
//
// Included by a path's kernel file once GROWTH_LANES names the path.
#ifndef GROWTH_LANES
#error "GROWTH_LANES must name the path (plain or avx2) before this file is included"
#endif
#pragma once

#include <array>
#include <bit>
#include <type_traits>
#include <utility>

#include "model/moved_parameters.hpp"

namespace model::lanes::GROWTH_LANES {

constexpr bool in(CurveMask m, int k) { return ((m >> k) & 1u) != 0; }
constexpr int size_of(CurveMask m) { return std::popcount(m); }
constexpr int slot(CurveMask m, int k) { return std::popcount(m & (curve_bit(k) - 1u)); }
constexpr int pair_slot(CurveMask m, int k, int l) {
  const int i = slot(m, k), j = slot(m, l);
  return i <= j ? i + j * (j + 1) / 2 : j + i * (i + 1) / 2;
}

// Value, gradient and packed upper triangle of the Hessian.
template <CurveMask M>
struct Jet {
  Lane v;
  std::array<Lane, size_of(M)> g;
  std::array<Lane, size_of(M) * (size_of(M) + 1) / 2> h;
};

template <CurveMask M>
Jet<M> zero_jet() {
  Jet<M> x;
  x.v = Lane(0.0);
  x.g.fill(Lane(0.0));
  x.h.fill(Lane(0.0));
  return x;
}

template <int K, CurveMask M>
Lane& d(Jet<M>& x) {
  static_assert(in(M, K));
  return x.g[slot(M, K)];
}
template <int K, CurveMask M>
const Lane& d(const Jet<M>& x) {
  static_assert(in(M, K));
  return x.g[slot(M, K)];
}
template <int K, int L, CurveMask M>
Lane& dd(Jet<M>& x) {
  static_assert(in(M, K) && in(M, L));
  return x.h[pair_slot(M, K, L)];
}
template <int K, int L, CurveMask M>
const Lane& dd(const Jet<M>& x) {
  static_assert(in(M, K) && in(M, L));
  return x.h[pair_slot(M, K, L)];
}

// f(k) for every curve position k of M, in increasing order, with k as a
// std::integral_constant; f(k, l) for every pair k <= l of M.
template <CurveMask M, class F>
inline void each(F&& f) {
  [&]<int... K>(std::integer_sequence<int, K...>) {
    (
        [&] {
          if constexpr (in(M, K)) f(std::integral_constant<int, K>{});
        }(),
        ...);
  }
  (std::make_integer_sequence<int, 8>{});
}
template <CurveMask M, class F>
inline void each_pair(F&& f) {
  each<M>([&](auto l) {
    constexpr int L = decltype(l)::value;
    each<M&((curve_bit(L) << 1) - 1u)>([&](auto k) { f(k, l); });
  });
}

// A sum of terms of which only some exist: it starts with the first term
// added and is zero when none is.
class Sum {
 public:
  void add(const Lane& x) {
    v_ = started_ ? v_ + x : x;
    started_ = true;
  }
  void sub(const Lane& x) {
    v_ = started_ ? v_ - x : -x;
    started_ = true;
  }
  template <bool Minus>
  void put(const Lane& x) {
    if constexpr (Minus)
      sub(x);
    else
      add(x);
  }
  Lane value() const { return started_ ? v_ : Lane(0.0); }

 private:
  Lane v_ = Lane(0.0);
  bool started_ = false;
};

template <int K, CurveMask M>
inline void add_d(Sum& s, const Jet<M>& x) {
  if constexpr (in(M, K)) s.add(d<K>(x));
}
template <int K, int L, CurveMask M>
inline void add_dd(Sum& s, const Jet<M>& x) {
  if constexpr (in(M, K) && in(M, L)) s.add(dd<K, L>(x));
}

// s += (x y)_k = x_k y + x y_k, or s -= it.
template <int K, bool Minus, CurveMask MX, CurveMask MY>
inline void product_d(Sum& s, const Jet<MX>& x, const Jet<MY>& y) {
  if constexpr (in(MX, K)) s.put<Minus>(d<K>(x) * y.v);
  if constexpr (in(MY, K)) s.put<Minus>(x.v * d<K>(y));
}

// s += (x y)_kl = x_kl y + x_k y_l + x_l y_k + x y_kl, or s -= it.
template <int K, int L, bool Minus, CurveMask MX, CurveMask MY>
inline void product_dd(Sum& s, const Jet<MX>& x, const Jet<MY>& y) {
  if constexpr (in(MX, K) && in(MX, L)) s.put<Minus>(dd<K, L>(x) * y.v);
  if constexpr (in(MX, K) && in(MY, L)) s.put<Minus>(d<K>(x) * d<L>(y));
  if constexpr (in(MX, L) && in(MY, K)) s.put<Minus>(d<L>(x) * d<K>(y));
  if constexpr (in(MY, K) && in(MY, L)) s.put<Minus>(x.v * dd<K, L>(y));
}

// E^2 from E: (E^2)_k = 2 E E_k, (E^2)_kl = 2 (E_k E_l + E E_kl).
template <CurveMask M>
inline Jet<M> square(const Jet<M>& e) {
  Jet<M> g;
  g.v = e.v * e.v;
  each<M>([&](auto k) { d<k>(g) = 2.0 * e.v * d<k>(e); });
  each_pair<M>([&](auto k, auto l) { dd<k, l>(g) = 2.0 * (d<k>(e) * d<l>(e) + e.v * dd<k, l>(e)); });
  return g;
}

}  // namespace model::lanes::GROWTH_LANES
