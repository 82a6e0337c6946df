#include "estimator/cholesky.hpp"

#include <cmath>

#include "estimator/matrix_index.hpp"

namespace estimator {
namespace {

constexpr std::size_t at(int i, int j) { return packed(i, j); }

// Column i of the factor below the diagonal, from the input values of column
// i and the columns before it; the diagonal reciprocal of row i is in place.
void factor_column(int n, int i, std::span<double> a) {
  const double reciprocal = a[at(i, i)];
  for (int j = i + 1; j <= n; ++j) {
    double s = a[at(j, i)];
    for (int l = 1; l < i; ++l) s -= a[at(i, l)] * a[at(j, l)];
    a[at(j, i)] = s * reciprocal;
  }
}

double pivot(int i, std::span<const double> a) {
  double s = a[at(i, i)];
  for (int l = 1; l < i; ++l) s -= a[at(i, l)] * a[at(i, l)];
  return s;
}

// Factorisation of a nearby positive definite matrix, from row i0 on: pivots
// of magnitude at most 1e-10 become 1e-10, negative ones change sign, and a
// column whose elements exceed a bound taken from the trailing input matrix
// is scaled down to it.
// Returns the number of near-singularity warnings.
int modified_factor(int n, int i0, double s, std::span<double> a) {
  int warnings = s > -kPivotThreshold ? 1 : 0;
  double bound = 0.0;
  if (i0 < n) {
    double gamma = 0.0;
    double xi = 0.0;
    for (int j = i0; j <= n; ++j) {
      gamma = std::fmax(gamma, std::fabs(a[at(j, j)]));
      for (int c = i0; c < j; ++c) xi = std::fmax(xi, std::fabs(a[at(j, c)]));
    }
    bound = std::sqrt(std::fmax(gamma, xi / n));
  }
  for (int i = i0; i <= n; ++i) {
    double d = kPivotThreshold;
    if (std::fabs(s) > kPivotThreshold) {
      d = std::fabs(s);
    } else if (std::fabs(s) <= kPivotThreshold) {
      ++warnings;
    }
    a[at(i, i)] = 1.0 / std::sqrt(d);
    if (i == n) return warnings;
    factor_column(n, i, a);
    // M, the largest magnitude of the column; an element that is not a
    // number makes M not a number, which counts as exceeding the bound.
    double largest = 0.0;
    for (int j = i + 1; j <= n; ++j) {
      const double v = std::fabs(a[at(j, i)]);
      largest = std::isnan(v) || std::isnan(largest) ? NAN : std::fmax(largest, v);
    }
    if (largest > bound || std::isnan(largest)) {
      const double scale = bound / largest;
      a[at(i, i)] *= scale;
      for (int j = i + 1; j <= n; ++j) a[at(j, i)] *= scale;
    }
    s = pivot(i + 1, a);
  }
  return warnings;
}

}  // namespace

int chol1(const int& n, const int&, const int& m, const int&, std::span<double> a, std::span<double> b, int& ierr) {
  ierr = 0;
  int warnings = 0;
  for (int i = 1; i <= n; ++i) {
    const double s = pivot(i, a);
    if (s < kPivotThreshold) {
      ierr = 1;
      warnings = modified_factor(n, i, s, a);
      break;
    }
    a[at(i, i)] = 1.0 / std::sqrt(s);
    if (i < n) factor_column(n, i, a);
  }
  // Forward substitution: every column of b becomes L^-1 times itself.
  for (int c = 0; c < m; ++c) {
    double* x = b.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(n);
    for (int i = 1; i <= n; ++i) {
      double s = x[i - 1];
      for (int l = 1; l < i; ++l) s -= a[at(i, l)] * x[l - 1];
      x[i - 1] = s * a[at(i, i)];
    }
  }
  return warnings;
}

void chol2(const int& n, const int& nn, const int& m, const int&, std::span<const double> a, std::span<double> b) {
  for (int c = 0; c < m; ++c) {
    double* x = b.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(n);
    x[n - 1] *= a[static_cast<std::size_t>(nn - 1)];
    for (int k = n - 1; k >= 1; --k) {
      double s = x[k - 1];
      for (int j = n; j > k; --j) s -= a[at(j, k)] * x[j - 1];
      x[k - 1] = s * a[at(k, k)];
    }
  }
}

void chinv(const int& n, const int&, std::span<const double> a, InverseMatrix& c) {
  auto C = [&c](int i, int j) -> double& { return c[inverse_at(i - 1, j - 1)]; };
  if (n == 1) {
    C(1, 1) = a[0] * a[0];
    return;
  }
  // Inverse of the factor, lower triangle.
  C(1, 1) = a[0];
  for (int j = 2; j <= n; ++j) {
    for (int i = 1; i < j; ++i) {
      double s = 0.0;
      for (int l = i; l < j; ++l) s += a[at(j, l)] * C(l, i);
      C(j, i) = -s * a[at(j, j)];
    }
    C(j, j) = a[at(j, j)];
  }
  // (L L^T)^-1 = L^-T L^-1, in place: every element read lies in a later row
  // or is not yet overwritten.
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= i; ++j) {
      double s = 0.0;
      for (int l = i; l <= n; ++l) s += C(l, i) * C(l, j);
      C(i, j) = s;
    }
  }
}

}  // namespace estimator
