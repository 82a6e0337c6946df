#include "starter/asymptote_power.hpp"

#include <cmath>

namespace starter {

double best_asymptote_power(const estimator::Curve& curve, const Plot& plot) {
  const double b = curve[1], c = curve[2];
  const double vs = curve[3] * curve[3], vp = curve[4] * curve[4], ve = curve[5] * curve[5];
  const double t0 = curve[6], y0 = curve[7];
  const double* t = plot.ages.data();
  const double* h = plot.heights.data();

  double E = std::exp((t0 - t[0]) * b);
  double G = E * E;
  double V = vs * G + ((1.0 - G) * vp + ve);
  double hc = std::pow(h[0], c);
  double u = (hc - y0 * E) / c;
  double w = (1.0 - E) / c;
  double uw = u * w / V;
  double ww = w * w / V;
  for (int i = 1; i < plot.n; ++i) {
    E = std::exp((t[i - 1] - t[i]) * b);
    G = E * E;
    const double hc_prev = hc;
    hc = std::pow(h[i], c);
    const double theta = -(E * ve) / V;
    V = ve * G + ((1.0 - G) * vp + ve) - theta * (-(E * ve));
    u = (hc - hc_prev * E) / c - theta * u;
    w = (1.0 - E) / c - theta * w;
    uw += u * w / V;
    ww += w * w / V;
  }
  return ww > 0.0 ? uw / ww : NAN;
}

}  // namespace starter
