// The innovations recursion of the plot likelihood. On the power scale
// Y = (h^c - a^c) / c the state decays at rate b towards 0 from the start
// level y0 at the start age t0; R_i is the error of predicting Y_i from the
// earlier measurements and V_i its variance:
//   first:  E = exp((t0 - t1) b), V = vs E^2 + (1 - E^2) vp + ve, R = Y_1 - E (y0 - a^c) / c;
//   later:  consecutive differences Y_i - E Y_{i-1} share one measurement
//           error, and theta = -E ve / V_{i-1} removes the part the previous
//           prediction error explains.
// Under the model R_i / sqrt(V_i) are independent standard normal. The
// operations keep their order and grouping, and the exponentials and powers
// are the objective's own (objective_math.hpp), so that every user of the
// recursion gets the bits of the plot objective's kernels.
#pragma once

#include "model/lanes/objective_math.hpp"
#include "model/model_records.hpp"

namespace model {

// Calls visit(R_i, V_i) for i = 1 .. n in order.
template <class Visit>
inline void innovations(const Curve& curve, int n, const double* t, const double* h, Visit&& visit) {
  const double a = curve[kCurveA], b = curve[kCurveB], c = curve[kCurveC];
  const double t0 = curve[kCurveT0], y0 = curve[kCurveY0];
  const double vs = curve[kCurveS0] * curve[kCurveS0];
  const double vp = curve[kCurveSp] * curve[kCurveSp];
  const double ve = curve[kCurveSe] * curve[kCurveSe];
  const double A = objective_pow(a, c);

  // First measurement, linked to the start of the curve.
  double E = objective_exp((t0 - t[0]) * b);
  double G = E * E;
  double Y = (objective_pow(h[0], c) - A) / c;
  double V = vs * G + ((1.0 - G) * vp + ve);
  double R = Y - ((y0 - A) / c) * E;
  visit(R, V);

  // Each later measurement, linked to the one before it.
  for (int i = 1; i < n; ++i) {
    E = objective_exp((t[i - 1] - t[i]) * b);
    G = E * E;
    const double y_prev = Y;
    Y = (objective_pow(h[i], c) - A) / c;
    const double theta = -(E * ve) / V;
    V = ve * G + ((1.0 - G) * vp + ve) - theta * (-(E * ve));
    R = (Y - y_prev * E) - theta * R;
    visit(R, V);
  }
}

}  // namespace model
