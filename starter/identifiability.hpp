// Whether the sample's likelihood fixes every global: the profile Hessian of
// the globals, scaled to unit diagonal, must be positive definite with its
// smallest eigenvalue clear of rounding. Otherwise some combination of the
// globals leaves the likelihood unchanged (or lowers it), and no start can
// make the estimator converge; the refusal names the globals that make up
// that combination.
#pragma once

#include "starter/model_roles.hpp"
#include "starter/profile.hpp"

namespace starter {

void check_identified(const ProfilePoint& point, const ModelRoles& roles);

}  // namespace starter
