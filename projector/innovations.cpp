#include "projector/innovations.hpp"

#include <cmath>

namespace projector {

void innovations(const estimator::Curve& curve, int n, const double* t, const double* h, Innovation* out) {
  const double b = curve[1], c = curve[2];
  const double t0 = curve[6], y0 = curve[7];
  const double vs = curve[3] * curve[3];
  const double vp = curve[4] * curve[4];
  const double ve = curve[5] * curve[5];
  const double A = std::pow(curve[0], c);

  // First measurement, linked to the start of the curve.
  double E = std::exp((t0 - t[0]) * b);
  double G = E * E;
  double Y = (std::pow(h[0], c) - A) / c;
  double V = vs * G + ((1.0 - G) * vp + ve);
  double R = Y - ((y0 - A) / c) * E;
  out[0] = {R, V};
  // Each later one, linked to the one before it: consecutive differences
  // Y_i - E Y_{i-1} share one measurement error, theta removes that part.
  for (int i = 1; i < n; ++i) {
    E = std::exp((t[i - 1] - t[i]) * b);
    G = E * E;
    const double y_prev = Y;
    Y = (std::pow(h[i], c) - A) / c;
    const double theta = -(E * ve) / V;
    V = ve * G + ((1.0 - G) * vp + ve) - theta * (-(E * ve));
    R = (Y - y_prev * E) - theta * R;
    out[i] = {R, V};
  }
}

}  // namespace projector
