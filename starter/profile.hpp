// The profile objective of a set of plots: the sum of the plot objectives
// with each plot's locals at their conditional optimum (plot_locals.hpp), as
// a function of the globals. At such locals the derivative of a plot's
// objective in its locals is 0, so the profile's gradient is the sum of the
// plots' ggrad and its Hessian the sum of the reduced blocks
//   hgg - hlg^T hll^-1 hlg
// (the same elimination of the locals that the estimator makes).
#pragma once

#include <vector>

#include <Eigen/Dense>

#include "common/limits.hpp"
#include "common/plot.hpp"
#include "model/model_records.hpp"
#include "starter/model_roles.hpp"

namespace starter {

// Vectors and matrices over the globals and the locals, at their limits
// (no allocation).
using GlobalVector = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, common::kMaxGlobals, 1>;
using GlobalMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, common::kMaxGlobals, common::kMaxGlobals>;
using LocalMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, common::kMaxLocals, common::kMaxLocals>;
using CrossMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, common::kMaxLocals, common::kMaxGlobals>;

struct ProfileSettings {
  ModelRoles roles;
  model::Esde esde;
  double rate_reference = 1.0;
};

struct ProfilePoint {
  double objective = 0.0;  // sum of the plot objectives
  double magnitude = 0.0;  // sum of their absolute values
  bool finite = true;
  int runaway = 0;  // plots whose rate ran to an end of its range
  GlobalVector gradient;
  GlobalVector gradient_magnitude;  // sum over plots of |ggrad(i)|
  GlobalMatrix hessian;
};

// The objective only, or with gradient and Hessian when `derivatives`.
ProfilePoint evaluate_profile(const std::vector<common::Plot>& plots, const ProfileSettings& settings,
                              const model::Globals& globals, bool derivatives);

}  // namespace starter
