// The plot's best asymptote power A = a^c when every other curve parameter is
// held: the prediction errors of the innovations recursion are linear in A,
// R_i = u_i - A w_i, and their variances V_i do not depend on it, so the plot
// objective is a parabola in A with its minimum at
//   A = sum(u_i w_i / V_i) / sum(w_i^2 / V_i),
// where, with E_i = exp(-b (t_i - t_{i-1})) (t_0 the start age) and
// theta_i = -E_i ve / V_{i-1},
//   u_1 = (h_1^c - y0 E_1) / c,   w_1 = (1 - E_1) / c,
//   u_i = (h_i^c - E_i h_{i-1}^c) / c - theta_i u_{i-1},
//   w_i = (1 - E_i) / c - theta_i w_{i-1}.
// At that minimum the objective is, with P the product of the heights,
//   n ln(2 pi) + sum(ln V_i) + sum(u_i^2 / V_i) - sum(u_i w_i / V_i)^2 / sum(w_i^2 / V_i)
//   + 2 (1 - c) ln P.
#pragma once

#include "common/plot.hpp"
#include "model/model_records.hpp"

namespace starter {

// The heights on the power scale, h_i^c, and ln of their product: the same for
// every trial of a search that holds c.
struct PoweredHeights {
  model::Measurements powered{};
  double log_product = 0.0;
  double c = 0.0;
};

PoweredHeights power_heights(const common::Plot& plot, double c);

struct AsymptoteProfile {
  double power;      // A; NaN when the objective does not depend on A (every
                     // age at the start age, or a zero rate)
  double objective;  // the plot objective there
};

// `heights` holds the plot's heights at the power of the curve (curve[model::kCurveC]).
AsymptoteProfile best_asymptote_power(const model::Curve& curve, const common::Plot& plot,
                                      const PoweredHeights& heights);

}  // namespace starter
