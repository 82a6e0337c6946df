// One plot's eight curve parameters, the derivatives of the plot objective
// with respect to them, and a named position for each:
//   a   asymptote,          b   rate,               c   power,
//   s0  start deviation,    sp  process deviation,  se  error deviation,
//   t0  start age,          y0  start level.
// Only the catalogue maps globals and locals to positions; everyone else
// reads a curve element by its name.
#pragma once

#include <array>

namespace model {

enum CurvePosition : int { kCurveA, kCurveB, kCurveC, kCurveS0, kCurveSp, kCurveSe, kCurveT0, kCurveY0 };
inline constexpr int kCurveSize = 8;

template <class T>
using CurveOf = std::array<T, kCurveSize>;
using Curve = CurveOf<double>;
using CurveGradient = std::array<double, kCurveSize>;
using CurveHessian = std::array<double, kCurveSize * kCurveSize>;  // 8 x 8, column by column

// A set of curve parameters: bit k stands for curve position k.
using CurveMask = unsigned;

constexpr CurveMask curve_bit(int position) { return 1u << position; }

inline constexpr CurveMask kAllCurveParameters = 0xffu;

}  // namespace model
