// The curve parameters each model moves: those that depend on a global or a
// local. Every model moves the asymptote, the rate, the power and the process
// and error deviations; some also the start deviation, the start age or the
// start level. The derivative transformation of a model reads the curve
// derivatives of these parameters only, so the plot objective need not be
// differentiated with respect to the others.
#pragma once

#include "model/curve.hpp"
#include "model/model_table.hpp"

namespace model {

inline constexpr CurveMask kAlwaysMoved =
    curve_bit(kCurveA) | curve_bit(kCurveB) | curve_bit(kCurveC) | curve_bit(kCurveSp) | curve_bit(kCurveSe);

// Models 4, 5, 9, 10 estimate the start deviation; 2, 5, 7, 10 the start age;
// 3 and 8 the start level, and in models 14 to 18 the fixed start level is a
// power of the estimated power c, so it moves with c.
constexpr CurveMask moved_parameters(int model) {
  CurveMask m = kAlwaysMoved;
  if (model == 4 || model == 5 || model == 9 || model == 10) m |= curve_bit(kCurveS0);
  if (model == 2 || model == 5 || model == 7 || model == 10) m |= curve_bit(kCurveT0);
  if (model == 3 || model == 8 || model >= 14) m |= curve_bit(kCurveY0);
  return m;
}

// The distinct sets of the catalogue, and the full set last.
inline constexpr std::array<CurveMask, 6> kDerivativeSets = {
    kAlwaysMoved,
    kAlwaysMoved | curve_bit(kCurveS0),
    kAlwaysMoved | curve_bit(kCurveT0),
    kAlwaysMoved | curve_bit(kCurveY0),
    kAlwaysMoved | curve_bit(kCurveS0) | curve_bit(kCurveT0),
    kAllCurveParameters,
};

// Index in kDerivativeSets of the smallest set holding `moved`.
constexpr int derivative_set_index(CurveMask moved) {
  for (int i = 0; i < static_cast<int>(kDerivativeSets.size()); ++i)
    if ((kDerivativeSets[static_cast<std::size_t>(i)] & moved) == moved) return i;
  return static_cast<int>(kDerivativeSets.size()) - 1;
}

}  // namespace model
