#include "starter/sample_fit.hpp"

#include <algorithm>
#include <cmath>

#include <ceres/ceres.h>

#include "starter/quiet_solver.hpp"

namespace starter {
namespace {

constexpr std::size_t at(int i) { return static_cast<std::size_t>(i); }
constexpr std::size_t kChoicePlots = 500;

// The profile in the variables x of globals = first + M x, where M makes the
// profile's Hessian at the first point the identity (M = L^-T for H = L L^T);
// the search then starts on a problem as well scaled as it can be.
class ScaledProfile final : public ceres::FirstOrderFunction {
 public:
  ScaledProfile(const std::vector<common::Plot>& plots, const ProfileSettings& settings, const model::Globals& first,
                const GlobalMatrix& m)
      : plots_(plots), settings_(settings), first_(first), m_(m) {}

  model::Globals globals(const double* x) const {
    const int ng = settings_.roles.ng;
    const GlobalVector step = m_ * Eigen::Map<const GlobalVector>(x, ng);
    model::Globals g = first_;
    for (int i = 0; i < ng; ++i) g[at(i)] += step(i);
    return g;
  }

  bool Evaluate(const double* x, double* cost, double* gradient) const override {
    const ProfilePoint point = evaluate_profile(plots_, settings_, globals(x), gradient != nullptr);
    if (!point.finite) return false;
    *cost = point.objective;
    if (gradient != nullptr) {
      const GlobalVector g = m_.transpose() * point.gradient;
      for (int i = 0; i < settings_.roles.ng; ++i) gradient[i] = g(i);
    }
    return true;
  }

  int NumParameters() const override { return settings_.roles.ng; }

 private:
  const std::vector<common::Plot>& plots_;
  const ProfileSettings& settings_;
  model::Globals first_;
  GlobalMatrix m_;
};

// M = L^-T where the profile's Hessian H = L L^T is positive definite;
// otherwise diagonal: 1 / sqrt(H_ii) where the profile curves upwards, the
// size of the value (at least 0.01) elsewhere.
GlobalMatrix search_scales(const ProfilePoint& point, const model::Globals& first, int ng) {
  const Eigen::LLT<GlobalMatrix> llt(point.hessian);
  if (llt.info() == Eigen::Success) return llt.matrixU().solve(GlobalMatrix::Identity(ng, ng));
  GlobalMatrix m = GlobalMatrix::Zero(ng, ng);
  for (int i = 0; i < ng; ++i) {
    const double h = point.hessian(i, i);
    m(i, i) = h > 0.0 && std::isfinite(h) ? 1.0 / std::sqrt(h) : std::max(std::fabs(first[at(i)]), 0.01);
  }
  return m;
}

}  // namespace

SampleFit fit_sample(const std::vector<common::Plot>& plots, const ProfileSettings& settings,
                     const model::Globals& first) {
  const int ng = settings.roles.ng;
  SampleFit fit;
  fit.globals = first;
  const ProfilePoint start = evaluate_profile(plots, settings, first, true);
  if (!start.finite) return fit;
  fit.usable = true;
  auto* function = new ScaledProfile(plots, settings, first, search_scales(start, first, ng));
  ceres::GradientProblem problem(function);
  std::array<double, common::kMaxGlobals> x{};
  const ceres::GradientProblemSolver::Options options = bfgs_options(1e-5);
  ceres::GradientProblemSolver::Summary summary;
  ceres::Solve(options, problem, x.data(), &summary);
  fit.globals = function->globals(x.data());
  fit.objective = summary.final_cost;
  fit.iterations = static_cast<int>(summary.iterations.size());
  return fit;
}

SampleFit fit_sample_from_splits(const std::vector<common::Plot>& plots, const ProfileSettings& settings,
                                 const model::Globals& first) {
  // The maximum is chosen on at most kChoicePlots plots taken evenly from the
  // sample, then refined on the whole sample.
  std::vector<common::Plot> choice;
  const std::size_t count = std::min(plots.size(), kChoicePlots);
  choice.reserve(count);
  for (std::size_t k = 0; k < count; ++k) choice.push_back(plots[k * plots.size() / count]);

  SampleFit best = fit_sample(choice, settings, first);
  const int ip = settings.roles.global_index(Role::sigma_p), ie = settings.roles.global_index(Role::sigma_e);
  const double vp = first[at(ip)] * first[at(ip)], ve = first[at(ie)] * first[at(ie)];
  for (const double process_share : {0.95, 0.05}) {
    model::Globals split = first;
    split[at(ip)] = std::sqrt(process_share * (vp + ve));
    split[at(ie)] = std::sqrt((1.0 - process_share) * (vp + ve));
    const SampleFit fit = fit_sample(choice, settings, split);
    if (fit.usable && (!best.usable || fit.objective < best.objective)) best = fit;
  }
  if (count == plots.size() || !best.usable) return best;
  const int iterations = best.iterations;
  best = fit_sample(plots, settings, best.globals);
  best.iterations += iterations;
  return best;
}

}  // namespace starter
