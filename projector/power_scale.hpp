// The power scale of the growth law and its inverse. A height h > 0 goes to
// Y = (h^c - a^c) / c, which is increasing in h for every c != 0; the inverse
// is h = (c Y + a^c)^(1/c). Values of Y beyond the image of (0, inf) have no
// height: below it (c > 0) they give height 0, above it (c < 0) infinity, so
// that back-transformed quantiles stay ordered.
#pragma once

#include <cmath>
#include <limits>

#include "model/curve.hpp"

namespace projector {

struct PowerScale {
  double ac;  // a^c, the zero of the scale
  double c;

  double height(double y) const {
    const double base = c * y + ac;
    if (!(base > 0.0)) {
      if (std::isnan(base) || c == 0.0) return std::numeric_limits<double>::quiet_NaN();
      return c > 0.0 ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return std::pow(base, 1.0 / c);
  }
  double state(double h) const { return (std::pow(h, c) - ac) / c; }
};

// The scale of a plot's curve parameters (a, b, c, ...).
template <class Curve>
PowerScale power_scale(const Curve& curve) {
  return PowerScale{std::pow(curve[model::kCurveA], curve[model::kCurveC]), curve[model::kCurveC]};
}

// The curve without noise at age t: the state's mean (y0 - a^c)/c decays by
// exp(-b (t - t0)), h(t) = [a^c + (y0 - a^c) exp(-b (t - t0))]^(1/c); NaN
// before the start age t0.
template <class Curve>
double noise_free_height(const Curve& curve, double t) {
  if (t < curve[model::kCurveT0]) return std::nan("");
  const PowerScale scale = power_scale(curve);
  const double start = (curve[model::kCurveY0] - scale.ac) / curve[model::kCurveC];
  return scale.height(start * std::exp(-curve[model::kCurveB] * (t - curve[model::kCurveT0])));
}

}  // namespace projector
