// Small helpers shared by the model transformations: access to the curve
// derivatives with curve positions counted from 1, and the positions of the
// outputs.
#pragma once

#include "model/matrix_index.hpp"
#include "model/model_records.hpp"

namespace model::terms {

using model::packed;

// fgrad(k)
inline double F(const CurveGradient& fgrad, int k) { return fgrad[static_cast<std::size_t>(k - 1)]; }

// fhess(k, m) read with the smaller index first (upper triangle only).
inline double H(const CurveHessian& fhess, int k, int m) {
  const int lo = k < m ? k : m;
  const int hi = k < m ? m : k;
  return fhess[column_major(lo - 1, hi - 1, 8)];
}

// 0-based position of element (local l, global i) of hlg with nl locals, l and i from 1.
constexpr std::size_t cross(int l, int i, int nl) { return column_major(l - 1, i - 1, nl); }

}  // namespace model::terms
