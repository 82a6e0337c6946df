// The C library's exp, pow and log applied lane by lane. The derivative
// kernels take their transcendental values from here, so that a plot's
// derivatives are to the last bit those of the one-plot-at-a-time formulas
// with the C library: the optimiser's path through an ill-conditioned fit
// can magnify a change of one unit in the last place of a derivative into a
// visible change of the objective several iterations later. Every lane calls
// the same functions, so the results do not depend on the lane or the path.
//
// Included by a path's kernel file once GROWTH_LANES names the path.
#ifndef GROWTH_LANES
#error "GROWTH_LANES must name the path (plain or avx2) before this file is included"
#endif
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

namespace model::lanes::GROWTH_LANES::clib {

template <class F>
inline Lane each_lane(const Lane& x, F f) {
  std::array<double, static_cast<std::size_t>(kWidth)> v;
  store(x, v.data());
  for (double& e : v) e = f(e);
  return make(v);
}

inline Lane exp(const Lane& x) {
  return each_lane(x, [](double v) { return std::exp(v); });
}
inline Lane log(const Lane& x) {
  return each_lane(x, [](double v) { return std::log(v); });
}
inline Lane pow(const Lane& x, const Lane& y) {
  std::array<double, static_cast<std::size_t>(kWidth)> v, w;
  store(x, v.data());
  store(y, w.data());
  for (std::size_t j = 0; j < v.size(); ++j) v[j] = std::pow(v[j], w[j]);
  return make(v);
}

}  // namespace model::lanes::GROWTH_LANES::clib
