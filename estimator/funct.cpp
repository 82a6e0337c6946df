// The plot objective, minus twice the log-likelihood of a plot's heights:
//   f = n ln(2 pi) + sum_i (ln V_i + R_i^2 / V_i) + 2 (1 - c) ln(h_1 ... h_n)
// with the innovations R_i and their variances V_i of the recursion.
#include <cmath>
#include <limits>

#include "estimator/innovations.hpp"
#include "estimator/likelihood.hpp"

namespace estimator {
namespace {

// False when a running product of heights has overflowed or fallen below the
// normal doubles, where its logarithm is infinite or inexact. (A product that
// is 0 or not a number because a height is gives the same result either way.)
bool in_range(double product) {
  const double m = std::fabs(product);
  return m >= std::numeric_limits<double>::min() && m <= std::numeric_limits<double>::max();
}

double log_sum(int n, const double* h) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += std::log(h[i]);
  return s;
}

}  // namespace

double funct(const Curve& curve, int n, const double* t, const double* h) {
  double f = n * kLog2Pi;
  innovations(curve, n, t, h, [&f](double R, double V) { f = f + R * R / V + std::log(V); });
  // Change of variables from transformed heights to heights: the log of the
  // product of the heights, or the sum of their logs where the product left
  // the range of normal doubles (99 heights of 2700 overflow it).
  double P = h[0];
  bool product_in_range = in_range(P);
  for (int i = 1; i < n; ++i) {
    P = P * h[i];
    product_in_range = product_in_range && in_range(P);
  }
  const double log_product = product_in_range ? std::log(P) : log_sum(n, h);
  return f + log_product * (2.0 * (1.0 - curve[2]));
}

}  // namespace estimator
