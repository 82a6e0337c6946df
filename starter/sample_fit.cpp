#include "starter/sample_fit.hpp"

#include <cmath>

#include <ceres/ceres.h>

namespace starter {
namespace {

constexpr std::size_t at(int i) { return static_cast<std::size_t>(i); }

class ScaledProfile final : public ceres::FirstOrderFunction {
 public:
  ScaledProfile(const std::vector<Plot>& plots, const ProfileSettings& settings, const GlobalVector& scales)
      : plots_(plots), settings_(settings), scales_(scales) {}

  estimator::Globals globals(const double* x) const {
    estimator::Globals g{};
    for (int i = 0; i < settings_.roles.ng; ++i) g[at(i)] = x[i] * scales_(i);
    return g;
  }

  bool Evaluate(const double* x, double* cost, double* gradient) const override {
    const ProfilePoint point = evaluate_profile(plots_, settings_, globals(x), gradient != nullptr);
    if (!point.finite) return false;
    *cost = point.objective;
    if (gradient != nullptr)
      for (int i = 0; i < settings_.roles.ng; ++i) gradient[i] = point.gradient(i) * scales_(i);
    return true;
  }

  int NumParameters() const override { return settings_.roles.ng; }

 private:
  const std::vector<Plot>& plots_;
  const ProfileSettings& settings_;
  GlobalVector scales_;
};

// 1 / sqrt(H_ii) where the profile curves upwards; the size of the value
// (at least 0.01) elsewhere.
GlobalVector search_scales(const ProfilePoint& point, const estimator::Globals& first, int ng) {
  GlobalVector scales(ng);
  for (int i = 0; i < ng; ++i) {
    const double h = point.hessian(i, i);
    scales(i) = h > 0.0 && std::isfinite(h) ? 1.0 / std::sqrt(h) : std::max(std::fabs(first[at(i)]), 0.01);
  }
  return scales;
}

}  // namespace

SampleFit fit_sample(const std::vector<Plot>& plots, const ProfileSettings& settings, const estimator::Globals& first) {
  const int ng = settings.roles.ng;
  SampleFit fit;
  fit.globals = first;
  const ProfilePoint start = evaluate_profile(plots, settings, first, true);
  if (!start.finite) return fit;
  fit.usable = true;
  const GlobalVector scales = search_scales(start, first, ng);

  auto* function = new ScaledProfile(plots, settings, scales);
  ceres::GradientProblem problem(function);
  std::array<double, common::kMaxGlobals> x{};
  for (int i = 0; i < ng; ++i) x[at(i)] = first[at(i)] / scales(i);
  ceres::GradientProblemSolver::Options options;
  options.line_search_direction_type = ceres::BFGS;
  options.logging_type = ceres::SILENT;
  options.max_num_iterations = 300;
  options.function_tolerance = 1e-13;
  options.gradient_tolerance = 1e-8;
  options.parameter_tolerance = 1e-12;
  ceres::GradientProblemSolver::Summary summary;
  ceres::Solve(options, problem, x.data(), &summary);
  fit.globals = function->globals(x.data());
  fit.objective = summary.final_cost;
  fit.iterations = static_cast<int>(summary.iterations.size());
  return fit;
}

SampleFit fit_sample_from_splits(const std::vector<Plot>& plots, const ProfileSettings& settings,
                                 const estimator::Globals& first) {
  SampleFit best = fit_sample(plots, settings, first);
  const int ip = settings.roles.global_index(Role::sigma_p), ie = settings.roles.global_index(Role::sigma_e);
  const double vp = first[at(ip)] * first[at(ip)], ve = first[at(ie)] * first[at(ie)];
  for (const double process_share : {0.95, 0.05}) {
    estimator::Globals split = first;
    split[at(ip)] = std::sqrt(process_share * (vp + ve));
    split[at(ie)] = std::sqrt((1.0 - process_share) * (vp + ve));
    const SampleFit fit = fit_sample(plots, settings, split);
    if (fit.usable && (!best.usable || fit.objective < best.objective)) best = fit;
  }
  return best;
}

}  // namespace starter
