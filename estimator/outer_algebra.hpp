// Dense symmetric systems of the random-locals fit's few outer parameters
// (at most kMaxOuter), stored row by row with leading dimension kMaxOuter.
#pragma once

#include "estimator/marginal_pass.hpp"

namespace estimator {

// Solves A x = b for the n x n symmetric A by Cholesky factorisation; false
// (x untouched) when A is not positive definite.
bool solve_positive(const OuterMatrix& a, int n, const model::marginal::Outer& b, model::marginal::Outer& x);

// The inverse of the n x n symmetric positive definite A; false when A is not.
bool invert_positive(const OuterMatrix& a, int n, OuterMatrix& inverse);

}  // namespace estimator
