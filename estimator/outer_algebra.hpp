// Dense symmetric systems of the random-locals fit's few outer parameters
// (at most kMaxOuter), stored row by row with leading dimension kMaxOuter.
#pragma once

#include "estimator/marginal_pass.hpp"

namespace estimator {

// Solves A x = b for the n x n symmetric A by Cholesky factorisation; false
// (x untouched) when A is not positive definite.
bool solve_positive(const OuterMatrix& a, int n, const model::marginal::Outer& b, model::marginal::Outer& x);

// The Newton direction -A^-1 b for the n x n symmetric A made positive
// definite where it is not: judged on S = D^-1 A D^-1 (D the square roots of
// |A_ii|, so that the units of the parameters do not matter), S's eigenvalues
// are replaced by their absolute values, at least 1e-10 times the largest.
// Where S has a negative eigenvalue, a step along its eigenvector (length 1
// in S's units, downhill, or towards the positive side of its largest
// component when b has no share in it) is added: at a saddle, such as a
// deviation at exactly 0 where it should not be, the gradient alone would
// not move; `negative` (when given) says whether there was one. False (x
// untouched) when A's diagonal or b is not finite or A is 0.
bool modified_newton(const OuterMatrix& a, int n, const model::marginal::Outer& b, model::marginal::Outer& x,
                     bool* negative = nullptr);

// The inverse of the n x n symmetric positive definite A; false when A is not.
bool invert_positive(const OuterMatrix& a, int n, OuterMatrix& inverse);

}  // namespace estimator
