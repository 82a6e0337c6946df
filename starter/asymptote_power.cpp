#include "starter/asymptote_power.hpp"

#include <cmath>

#include "model/likelihood.hpp"

namespace starter {

PoweredHeights power_heights(const common::Plot& plot, double c) {
  PoweredHeights p;
  p.c = c;
  double product = plot.heights[0];
  p.powered[0] = std::pow(plot.heights[0], c);
  for (int i = 1; i < plot.n; ++i) {
    p.powered[static_cast<std::size_t>(i)] = std::pow(plot.heights[static_cast<std::size_t>(i)], c);
    product *= plot.heights[static_cast<std::size_t>(i)];
  }
  p.log_product = std::log(product);
  return p;
}

AsymptoteProfile best_asymptote_power(const model::Curve& curve, const common::Plot& plot,
                                      const PoweredHeights& heights) {
  const double b = curve[model::kCurveB], c = curve[model::kCurveC];
  const double vs = curve[model::kCurveS0] * curve[model::kCurveS0],
               vp = curve[model::kCurveSp] * curve[model::kCurveSp],
               ve = curve[model::kCurveSe] * curve[model::kCurveSe];
  const double t0 = curve[model::kCurveT0], y0 = curve[model::kCurveY0];
  const double* t = plot.ages.data();
  const double* hc_all = heights.powered.data();

  double E = std::exp((t0 - t[0]) * b);
  double G = E * E;
  double V = vs * G + ((1.0 - G) * vp + ve);
  double hc = hc_all[0];
  double u = (hc - y0 * E) / c;
  double w = (1.0 - E) / c;
  double uw = u * w / V;
  double ww = w * w / V;
  double uu = u * u / V;
  double log_v = std::log(V);
  for (int i = 1; i < plot.n; ++i) {
    E = std::exp((t[i - 1] - t[i]) * b);
    G = E * E;
    const double hc_prev = hc;
    hc = hc_all[i];
    const double theta = -(E * ve) / V;
    V = ve * G + ((1.0 - G) * vp + ve) - theta * (-(E * ve));
    u = (hc - hc_prev * E) / c - theta * u;
    w = (1.0 - E) / c - theta * w;
    uw += u * w / V;
    ww += w * w / V;
    uu += u * u / V;
    log_v += std::log(V);
  }
  if (!(ww > 0.0)) return {NAN, NAN};
  const double objective =
      plot.n * model::kLog2Pi + log_v + (uu - uw * uw / ww) + heights.log_product * (2.0 * (1.0 - c));
  return {uw / ww, objective};
}

}  // namespace starter
