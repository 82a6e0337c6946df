// Matrices of order NL = 1 or 2 (the locals of a plot), held whole, column
// by column, with the few operations the marginal likelihood takes of them:
//   det, inverse (adjugate over the determinant), the Cholesky factor L of a
//   positive definite S (S = L L^T, L lower triangular),
//   extreme eigenvalues of a symmetric matrix,
//   the derivative of the Cholesky factor, dL = L Phi(L^-1 dS L^-T) with Phi
//   taking the lower triangle and half the diagonal.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

namespace model::marginal {

template <int NL>
using Vec = std::array<double, static_cast<std::size_t>(NL)>;
template <int NL>
using Mat = std::array<double, static_cast<std::size_t>(NL* NL)>;

template <int NL>
constexpr std::size_t entry(int i, int j) {
  return static_cast<std::size_t>(i + NL * j);
}

template <int NL>
double det(const Mat<NL>& a) {
  if constexpr (NL == 1)
    return a[0];
  else
    return a[0] * a[3] - a[1] * a[2];
}

template <int NL>
Mat<NL> inverse(const Mat<NL>& a) {
  if constexpr (NL == 1) {
    return {1.0 / a[0]};
  } else {
    const double d = det<NL>(a);
    return {a[3] / d, -a[1] / d, -a[2] / d, a[0] / d};
  }
}

template <int NL>
Vec<NL> apply(const Mat<NL>& a, const Vec<NL>& x) {
  Vec<NL> y{};
  for (int i = 0; i < NL; ++i)
    for (int j = 0; j < NL; ++j) y[static_cast<std::size_t>(i)] += a[entry<NL>(i, j)] * x[static_cast<std::size_t>(j)];
  return y;
}

template <int NL>
Mat<NL> product(const Mat<NL>& a, const Mat<NL>& b) {
  Mat<NL> c{};
  for (int i = 0; i < NL; ++i)
    for (int j = 0; j < NL; ++j)
      for (int k = 0; k < NL; ++k) c[entry<NL>(i, j)] += a[entry<NL>(i, k)] * b[entry<NL>(k, j)];
  return c;
}

template <int NL>
double dot(const Vec<NL>& x, const Vec<NL>& y) {
  double s = 0.0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(NL); ++i) s += x[i] * y[i];
  return s;
}

// trace(a b) of symmetric a and b.
template <int NL>
double trace_of_product(const Mat<NL>& a, const Mat<NL>& b) {
  double s = 0.0;
  for (std::size_t k = 0; k < a.size(); ++k) s += a[k] * b[k];
  return s;
}

// Smallest and largest eigenvalue of a symmetric matrix.
template <int NL>
std::array<double, 2> eigenvalue_range(const Mat<NL>& a) {
  if constexpr (NL == 1) {
    return {a[0], a[0]};
  } else {
    const double mean = 0.5 * (a[0] + a[3]);
    const double half = 0.5 * (a[0] - a[3]);
    const double radius = std::sqrt(half * half + a[1] * a[1]);
    return {mean - radius, mean + radius};
  }
}

// The lower Cholesky factor of a positive definite matrix (not checked).
template <int NL>
Mat<NL> cholesky(const Mat<NL>& s) {
  if constexpr (NL == 1) {
    return {std::sqrt(s[0])};
  } else {
    const double l11 = std::sqrt(s[0]);
    const double l21 = s[1] / l11;
    return {l11, l21, 0.0, std::sqrt(s[3] - l21 * l21)};
  }
}

// dL for S = L L^T and a change dS of S.
template <int NL>
Mat<NL> cholesky_derivative(const Mat<NL>& l, const Mat<NL>& ds) {
  if constexpr (NL == 1) {
    return {ds[0] / (2.0 * l[0])};
  } else {
    const double d11 = ds[0] / (2.0 * l[0]);
    const double d21 = (ds[1] - l[1] * d11) / l[0];
    const double d22 = (ds[3] - 2.0 * l[1] * d21) / (2.0 * l[3]);
    return {d11, d21, 0.0, d22};
  }
}

}  // namespace model::marginal
