#include "starter/identifiability.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "model/model_table.hpp"
#include "starter/refusal.hpp"

namespace starter {
namespace {

constexpr double kSmallestEigenvalue = 1e-10;
constexpr double kNamedShare = 0.1;          // globals with at least this share of the weak direction are named
constexpr double kLargestDeviation = 100.0;  // times the spread of the heights on the power scale

std::string weak_globals(const Eigen::VectorXd& direction, const ModelRoles& roles) {
  const model::ModelNames& names = model::model_names(roles.model);
  std::string text;
  for (int i = 0; i < roles.ng; ++i) {
    if (direction(i) * direction(i) < kNamedShare) continue;
    text += (text.empty() ? "" : ", ") + std::string(names.globals[static_cast<std::size_t>(i)]);
  }
  return text;
}

}  // namespace

void check_identified(const ProfilePoint& point, const ModelRoles& roles) {
  const int ng = roles.ng;
  GlobalVector scale(ng);
  for (int i = 0; i < ng; ++i) {
    const double h = std::fabs(point.hessian(i, i));
    if (!(h > 0.0) || !std::isfinite(h)) {
      Eigen::VectorXd unit = Eigen::VectorXd::Zero(ng);
      unit(i) = 1.0;
      refuse("model " + std::to_string(roles.model) +
             " cannot be identified from these data: the likelihood does not "
             "curve upwards in " +
             weak_globals(unit, roles) + " at the best values for a sample of the plots");
    }
    scale(i) = 1.0 / std::sqrt(h);
  }
  const Eigen::MatrixXd scaled = scale.asDiagonal() * point.hessian * scale.asDiagonal();
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(scaled);
  const double smallest = eigen.eigenvalues()(0);
  // Curvature clearly negative is not flatness: the point is not yet an
  // optimum, and the estimator's modified Newton steps away from it.
  if (smallest > kSmallestEigenvalue || smallest < -kSmallestEigenvalue) return;
  refuse("model " + std::to_string(roles.model) +
         " cannot be identified from these data: at the best values for a "
         "sample of the plots the likelihood is flat (scaled curvature " +
         short_number(smallest) + ") along a combination of " + weak_globals(eigen.eigenvectors().col(0), roles) +
         "; more plots, more measurements per plot or measurements nearer the start of growth may separate them, "
         "or choose a model with fewer globals");
}

void check_deviations(const std::vector<common::Plot>& plots, const ModelRoles& roles, const model::Globals& globals) {
  const double c = globals[static_cast<std::size_t>(roles.global_index(Role::c))];
  double sum = 0.0, sum2 = 0.0, count = 0.0;
  for (const common::Plot& p : plots)
    for (int i = 0; i < p.n; ++i) {
      const double y = std::pow(p.heights[static_cast<std::size_t>(i)], c) / c;
      sum += y;
      sum2 += y * y;
      count += 1.0;
    }
  const double spread = std::sqrt(std::max(sum2 / count - (sum / count) * (sum / count), 0.0));
  const model::ModelNames& names = model::model_names(roles.model);
  for (const Role role : {Role::sigma0, Role::sigma_p, Role::sigma_e}) {
    const int i = roles.global_index(role);
    if (i < 0) continue;
    const double sigma = std::fabs(globals[static_cast<std::size_t>(i)]);
    if (sigma <= kLargestDeviation * spread) continue;
    refuse("model " + std::to_string(roles.model) + " cannot be identified from these data: its " +
           std::string(names.globals[static_cast<std::size_t>(i)]) + " runs away (" + short_number(sigma) +
           " at the best values for a sample of the plots, against a spread of " + short_number(spread) +
           " of the heights on the power scale)" +
           (role == Role::sigma0 ? "; the start deviation needs plots measured near the start of growth, or choose a "
                                   "model without it"
                                 : ""));
  }
}

}  // namespace starter
