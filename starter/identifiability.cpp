#include "starter/identifiability.hpp"

#include <cmath>
#include <string>

#include "estimator/models/model_table.hpp"
#include "io/csv_writer.hpp"
#include "starter/refusal.hpp"

namespace starter {
namespace {

constexpr double kSmallestEigenvalue = 1e-10;
constexpr double kNamedShare = 0.1;  // globals with at least this share of the weak direction are named

std::string weak_globals(const Eigen::VectorXd& direction, const ModelRoles& roles) {
  const estimator::ModelNames& names = estimator::model_names(roles.model);
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
    const double h = point.hessian(i, i);
    if (!(h > 0.0)) {
      Eigen::VectorXd unit = Eigen::VectorXd::Zero(ng);
      unit(i) = 1.0;
      refuse("model " + std::to_string(roles.model) + " cannot be identified from these data: the likelihood does not "
             "curve upwards in " + weak_globals(unit, roles) + " at the best values for a sample of the plots");
    }
    scale(i) = 1.0 / std::sqrt(h);
  }
  const Eigen::MatrixXd scaled = scale.asDiagonal() * point.hessian * scale.asDiagonal();
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(scaled);
  const double smallest = eigen.eigenvalues()(0);
  if (smallest > kSmallestEigenvalue) return;
  refuse("model " + std::to_string(roles.model) + " cannot be identified from these data: at the best values for a "
         "sample of the plots the likelihood is flat (scaled curvature " + io::number_text(smallest) +
         ") along a combination of " + weak_globals(eigen.eigenvectors().col(0), roles) +
         "; more plots, more measurements per plot or measurements nearer the start of growth may separate them, "
         "or choose a model with fewer globals");
}

}  // namespace starter
