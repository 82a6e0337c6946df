// The model's noise-free curve fitted to the plots pooled (one asymptote, one
// rate and one power for all of them):
//   h(t) = [A + (y0 - A) exp(-b (t - t0))]^(1/c),   A = a^c,
// with the start (t0, y0) as the model has it: at the origin, with t0 or y0
// estimated, or fixed by the model constants.
//
// A grid over (b, c) gives the first point: for each pair A has a closed form
// on the power scale, and the pairs are compared by the Gaussian profile
// likelihood of the power-scale residuals with its change of variables,
//   N ln(SSE / N) + 2 (1 - c) sum(ln h).
// Ceres then refines a, b, c (and t0 or y0) by least squares on the heights.
#pragma once

#include <vector>

#include "common/plot.hpp"
#include "model/model_records.hpp"
#include "starter/model_roles.hpp"

namespace starter {

struct CurveShape {
  double a = 0.0;
  double b = 0.0;
  double c = 0.0;
  double t0 = 0.0;
  double y0 = 0.0;
};

CurveShape fit_pooled_curve(const std::vector<common::Plot>& plots, const ModelRoles& roles, const model::Esde& esde);

}  // namespace starter
