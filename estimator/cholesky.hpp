// Cholesky routines on packed storage.
//
// A symmetric matrix of order n is held as its lower triangle row by row:
// element (i, j), j <= i, counted from 1, at position i(i-1)/2 + j. A factor
// L (A = L L^T) is held the same way, except that each diagonal position
// holds the reciprocal 1 / L(i, i).
//
// chol1 factors in place (a nearby positive definite matrix when the pivots
// fall below 1e-10, with ierr = 1) and forward-substitutes the m columns of b;
// chol2 back-substitutes them; chinv forms the inverse into the lower triangle
// of a 10 x 10 array stored column by column.
#pragma once

#include <span>

#include "estimator/matrix_index.hpp"

namespace estimator {

inline constexpr double kPivotThreshold = 1e-10;  // del2

// Returns the number of near-singularity warnings the factorisation met; the
// caller writes them where they belong in the trace.
int chol1(const int& n, const int& nn, const int& m, const int& nm, std::span<double> a, std::span<double> b,
          int& ierr);
void chol2(const int& n, const int& nn, const int& m, const int& nm, std::span<const double> a, std::span<double> b);
void chinv(const int& n, const int& nn, std::span<const double> a, InverseMatrix& c);

}  // namespace estimator
