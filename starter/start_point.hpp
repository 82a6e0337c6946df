// Starting values in curve terms, and the model's globals made from them.
#pragma once

#include "model/model_records.hpp"
#include "starter/model_roles.hpp"

namespace starter {

struct CurveStart {
  double a = 0.0, b = 0.0, c = 0.0;
  double sigma0 = 0.0, sigma_p = 0.0, sigma_e = 0.0;
  double t0 = 0.0, y0 = 0.0;
};

// The globals of the model: each global takes the value of its curve
// parameter; a tied asymptote starts untied (slope 0, or exponent 0) at a.
model::Globals globals_from(const ModelRoles& roles, const CurveStart& start);

// The same globals with the three deviations replaced.
void set_deviations(const ModelRoles& roles, double sigma0, double sigma_p, double sigma_e, model::Globals& globals);

}  // namespace starter
