// The plot objective by the innovations recursion. On the power scale
// Y = (h^c - a^c) / c the state decays at rate b towards 0 from the start
// level at the start age; R is the error of predicting a measurement from the
// earlier ones and V its variance. The operations keep the order and grouping
// below so that results repeat to the last bit.
#include <cmath>

#include "estimator/likelihood.hpp"

namespace estimator {

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
  }
  // Change of variables from transformed heights to heights.
  return f + std::log(P) * (2.0 * (1.0 - c));
}

}  // namespace estimator
