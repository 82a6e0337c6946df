// Small helpers shared by the model transformations: access to the curve
// derivatives with curve positions counted from 1, and packed positions.
#pragma once

#include "estimator/shared_records.hpp"

namespace estimator::terms {

// fgrad(k)
inline double F(const CurveGradient& fgrad, int k) { return fgrad[static_cast<std::size_t>(k - 1)]; }

// fhess(k, m) read with the smaller index first (upper triangle only).
inline double H(const CurveHessian& fhess, int k, int m) {
  const int lo = k < m ? k : m;
  const int hi = k < m ? m : k;
  return fhess[static_cast<std::size_t>((lo - 1) + 8 * (hi - 1))];
}

// 0-based position of element (i, j) of a packed triangle, i and j from 1.
constexpr std::size_t packed(int i, int j) {
  const int hi = i > j ? i : j;
  const int lo = i > j ? j : i;
  return static_cast<std::size_t>(hi * (hi - 1) / 2 + lo - 1);
}

// 0-based position of element (local l, global i) of hlg with nl locals.
constexpr std::size_t cross(int l, int i, int nl) { return static_cast<std::size_t>((i - 1) * nl + l - 1); }

}  // namespace estimator::terms
