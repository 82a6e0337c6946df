// First values of the three deviations from the residuals of least-squares
// fits (each plot's locals fitted with the curve's shape held). On the power
// scale a residual is r = (h^c - y0 E - A (1 - E)) / c with E = exp(-b (t - t0));
// under the model, consecutive residuals give d_i = r_i - E_i r_{i-1}
// (E_i = exp(-b (t_i - t_{i-1})), G_i = E_i^2) with
//   E[d_i^2]         = (1 - G_i) vp + (1 + G_i) ve,
//   E[d_i d_{i-1}]   = -E_i ve,
// and the first residual of a plot has E[r_1^2] = G_1 vs + (1 - G_1) vp + ve
// (G_1 = exp(-2 b (t_1 - t0))). Each equation is solved by least squares over
// the plots; the fitted locals make the residuals smaller than the errors, and
// the values are only a start for the likelihood. No deviation starts at 0:
// the objective depends on their squares, so 0 would be a stationary point.
#pragma once

#include <vector>

#include "common/plot.hpp"
#include "model/model_records.hpp"
#include "starter/model_roles.hpp"

namespace starter {

struct Deviations {
  double sigma0 = 0.0;
  double sigma_p = 0.0;
  double sigma_e = 0.0;
};

// `globals` holds the curve's shape; its deviations are ignored.
Deviations estimate_deviations(const std::vector<common::Plot>& plots, const ModelRoles& roles, const model::Esde& esde,
                               model::Globals globals, double rate_reference);

}  // namespace starter
