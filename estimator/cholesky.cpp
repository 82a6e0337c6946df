#include "estimator/cholesky.hpp"

#include <cmath>

#include "io/format.hpp"
#include "io/text_writer.hpp"

namespace estimator {
namespace {

// 0-based position of element (i, j), j <= i, both counted from 1.
inline std::size_t at(int i, int j) { return static_cast<std::size_t>(i * (i - 1) / 2 + j - 1); }

thread_local int* deferred_warnings = nullptr;

void warn_near_singular() {
  if (deferred_warnings != nullptr) {
    ++*deferred_warnings;
  } else {
    write_warnings(1);
  }
}

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
void modified_factor(int n, int i0, double s, std::span<double> a) {
  if (s > -kPivotThreshold) warn_near_singular();
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
      warn_near_singular();
    }
    a[at(i, i)] = 1.0 / std::sqrt(d);
    if (i == n) return;
    factor_column(n, i, a);
    double largest = 0.0;
    bool not_a_number = false;
    for (int j = i + 1; j <= n; ++j) {
      const double v = std::fabs(a[at(j, i)]);
      if (std::isnan(v)) not_a_number = true;
      largest = std::fmax(largest, v);
    }
    if (largest > bound || not_a_number) {
      const double scale = bound / largest;
      a[at(i, i)] *= scale;
      for (int j = i + 1; j <= n; ++j) a[at(j, i)] *= scale;
    }
    s = pivot(i + 1, a);
  }
}

}  // namespace

DeferredWarnings::DeferredWarnings(int& counter) : previous_(deferred_warnings) { deferred_warnings = &counter; }
DeferredWarnings::~DeferredWarnings() { deferred_warnings = previous_; }

void write_warnings(int count) {
  static const io::Format format("(44H *****  WARNING! MATRIX NEAR SINGULAR  *****)");
  for (int i = 0; i < count; ++i) io::console().write(format);
}

void chol1(const int& n, const int&, const int& m, const int&, std::span<double> a, std::span<double> b, int& ierr) {
  ierr = 0;
  for (int i = 1; i <= n; ++i) {
    const double s = pivot(i, a);
    if (s < kPivotThreshold) {
      ierr = 1;
      modified_factor(n, i, s, a);
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
  auto C = [&c](int i, int j) -> double& { return c[static_cast<std::size_t>((i - 1) + 10 * (j - 1))]; };
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
