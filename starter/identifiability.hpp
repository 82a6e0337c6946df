// Whether the sample's likelihood fixes every global: the profile Hessian of
// the globals, scaled to unit diagonal, must be positive definite with its
// smallest eigenvalue clear of rounding. Otherwise some combination of the
// globals leaves the likelihood unchanged (or lowers it), and no start can
// make the estimator converge; the refusal names the globals that make up
// that combination.
//
// A deviation can also run away without the Hessian showing it: the start
// deviation matters only through exp(-2 b (t_1 - t0)) sigma0^2, which plots
// first measured long after the start make vanishingly small. A deviation
// more than 100 times the standard deviation of all the sample's heights on
// the power scale (h^c / c) is not determined by the data, and is refused too.
#pragma once

#include <vector>

#include "common/plot.hpp"
#include "model/model_records.hpp"
#include "starter/model_roles.hpp"
#include "starter/profile.hpp"

namespace starter {

void check_identified(const ProfilePoint& point, const ModelRoles& roles);
void check_deviations(const std::vector<common::Plot>& plots, const ModelRoles& roles, const model::Globals& globals);

}  // namespace starter
