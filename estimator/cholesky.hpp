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

#include <array>
#include <span>

namespace estimator {

inline constexpr double kPivotThreshold = 1e-10;  // del2

using InverseMatrix = std::array<double, 100>;  // 10 x 10, column by column

// While one of these lives on a thread, chol1 on that thread counts its
// near-singularity warnings instead of writing them; write_warnings writes
// them later, in the order the caller chooses.
class DeferredWarnings {
 public:
  explicit DeferredWarnings(int& counter);
  ~DeferredWarnings();
  DeferredWarnings(const DeferredWarnings&) = delete;
  DeferredWarnings& operator=(const DeferredWarnings&) = delete;

 private:
  int* previous_;
};
void write_warnings(int count);

void chol1(const int& n, const int& nn, const int& m, const int& nm, std::span<double> a, std::span<double> b,
           int& ierr);
void chol2(const int& n, const int& nn, const int& m, const int& nm, std::span<const double> a, std::span<double> b);
void chinv(const int& n, const int& nn, std::span<const double> a, InverseMatrix& c);

}  // namespace estimator
