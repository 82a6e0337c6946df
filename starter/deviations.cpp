#include "starter/deviations.hpp"

#include <algorithm>
#include <cmath>

#include "model/models.hpp"
#include "starter/plot_locals.hpp"
#include "starter/start_point.hpp"

namespace starter {
namespace {

// Sums of the three moment equations over the plots. Each equation is linear
// in the variances, so its least-squares solution needs only these sums.
struct MomentSums {
  double count = 0.0, d2 = 0.0;                      // pairs, sum d^2
  double d2_q = 0.0, p_q = 0.0, q_q = 0.0;           // q = 1 - G, p = 1 + G: sum d^2 q, p q, q^2
  double lag = 0.0, lag_weight = 0.0;                // sum -d_i d_{i-1} E_i, sum E_i^2
  double r2_g = 0.0, q_g = 0.0, g = 0.0, g_g = 0.0;  // first residuals: sum r^2 G, (1 - G) G, G, G^2

  void add_plot(const model::Curve& curve, const common::Plot& plot);
};

void MomentSums::add_plot(const model::Curve& curve, const common::Plot& plot) {
  const double A = std::pow(curve[model::kCurveA], curve[model::kCurveC]);
  const double b = curve[model::kCurveB], c = curve[model::kCurveC], t0 = curve[model::kCurveT0],
               y0 = curve[model::kCurveY0];
  const double* t = plot.ages.data();
  const double* h = plot.heights.data();
  const auto residual = [&](int i) {
    const double e = std::exp(-b * (t[i] - t0));
    return (std::pow(h[i], c) - y0 * e - A * (1.0 - e)) / c;
  };
  double r_prev = residual(0);
  const double g1 = std::exp(-2.0 * b * (t[0] - t0));
  r2_g += r_prev * r_prev * g1;
  q_g += (1.0 - g1) * g1;
  g += g1;
  g_g += g1 * g1;
  double d_prev = NAN;
  for (int i = 1; i < plot.n; ++i) {
    const double r = residual(i);
    const double e = std::exp(-b * (t[i] - t[i - 1]));
    const double q = 1.0 - e * e, p = 1.0 + e * e;
    const double d = r - e * r_prev;
    count += 1.0;
    d2 += d * d;
    d2_q += d * d * q;
    p_q += p * q;
    q_q += q * q;
    if (!std::isnan(d_prev)) {
      lag -= d * d_prev * e;
      lag_weight += e * e;
    }
    d_prev = d;
    r_prev = r;
  }
}

}  // namespace

Deviations estimate_deviations(const std::vector<common::Plot>& plots, const ModelRoles& roles, const model::Esde& esde,
                               model::Globals globals, double rate_reference) {
  // With no start or process deviation and a unit error deviation the plot
  // objective is a sum of squares: its locals are least-squares fits.
  set_deviations(roles, 0.0, 0.0, 1.0, globals);
  MomentSums s;
  for (const common::Plot& plot : plots) {
    const LocalFit fit = fit_locals(roles, esde, globals, plot, rate_reference, RateSearch::typical);
    model::Curve curve{};
    model::trpars(esde, globals, fit.locals, curve);
    s.add_plot(curve, plot);
  }
  // The scale of the innovations; plots of one measurement only have first residuals.
  const double scale = s.count > 0.0 ? s.d2 / s.count : s.r2_g / std::max(s.g, 1e-300);
  double ve = s.lag_weight > 0.0 ? s.lag / s.lag_weight : 0.5 * scale;
  ve = std::clamp(ve, 0.05 * scale, 0.5 * scale);
  double vp = s.q_q > 0.0 ? (s.d2_q - ve * s.p_q) / s.q_q : scale;
  vp = std::max(vp, 0.05 * scale);
  double vs = s.g_g > 0.0 ? (s.r2_g - vp * s.q_g - ve * s.g) / s.g_g : vp;
  vs = std::max(vs, 0.25 * vp);
  return {std::sqrt(vs), std::sqrt(vp), std::sqrt(ve)};
}

}  // namespace starter
