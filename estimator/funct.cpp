// The plot objective by the innovations recursion. On the power scale
// Y = (h^c - a^c) / c the state decays at rate b towards 0 from the start
// level at the start age; R is the error of predicting a measurement from the
// earlier ones and V its variance. The operations keep the order and grouping
// below so that results repeat to the last bit.
#include <cmath>
#include <limits>

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
  const double a = curve[0], b = curve[1], c = curve[2];
  const double t0 = curve[6], y0 = curve[7];
  double f = n * kLog2Pi;
  const double vs = curve[3] * curve[3];
  const double vp = curve[4] * curve[4];
  const double ve = curve[5] * curve[5];
  const double A = std::pow(a, c);

  // First measurement, linked to the start of the curve.
  double E = std::exp((t0 - t[0]) * b);
  double G = E * E;
  double Y = (std::pow(h[0], c) - A) / c;
  double V = vs * G + ((1.0 - G) * vp + ve);
  double R = Y - ((y0 - A) / c) * E;
  f = f + R * R / V + std::log(V);
  double P = h[0];
  bool product_in_range = in_range(P);

  // Each later measurement, linked to the one before it.
  for (int i = 1; i < n; ++i) {
    E = std::exp((t[i - 1] - t[i]) * b);
    G = E * E;
    const double y_prev = Y;
    Y = (std::pow(h[i], c) - A) / c;
    const double theta = -(E * ve) / V;
    V = ve * G + ((1.0 - G) * vp + ve) - theta * (-(E * ve));
    R = (Y - y_prev * E) - theta * R;
    f = f + R * R / V + std::log(V);
    P = P * h[i];
    product_in_range = product_in_range && in_range(P);
  }
  // Change of variables from transformed heights to heights: the log of the
  // product of the heights, or the sum of their logs where the product left
  // the range of normal doubles (99 heights of 2700 overflow it).
  const double log_product = product_in_range ? std::log(P) : log_sum(n, h);
  return f + log_product * (2.0 * (1.0 - c));
}

}  // namespace estimator
