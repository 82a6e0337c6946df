#include "starter/pooled_curve.hpp"

#include <array>
#include <cmath>
#include <memory>

#include <ceres/ceres.h>

#include "model/models.hpp"

namespace starter {
namespace {

constexpr std::array<double, 9> kPowers = {0.05, 0.1, 0.2, 0.35, 0.5, 0.7, 1.0, 1.4, 2.0};
constexpr int kRateSteps = 10;  // rates (1 / mean age) * 2^k, k = -6 .. 3
constexpr int kLowestRateStep = -6;

// The start of the curve for a power c: t0 and y0 of the model's start, with
// an estimated t0 or y0 beginning at 0. The fixed start is y0 = r^c.
struct Start {
  bool fixed = false;
  double t0 = 0.0;
  double r = 0.0;
  double y0(double c) const { return fixed ? std::pow(r, c) : 0.0; }
};

Start model_start(const ModelRoles& roles, const model::Esde& esde) {
  if (!roles.fixed_start()) return {};
  // The fixed start as the model computes it: t0, and y0 at power 1 (r).
  model::Globals globals{};
  model::Locals locals{};
  globals.fill(1.0);
  locals.fill(1.0);
  model::Curve curve{};
  model::trpars(esde, globals, locals, curve);
  return {true, curve[model::kCurveT0], curve[model::kCurveY0]};
}

struct GridPoint {
  double criterion = INFINITY;
  double a = 0.0, b = 0.0, c = 0.0;
};

GridPoint evaluate_grid_point(const std::vector<common::Plot>& plots, const Start& start, double b, double c) {
  const double y0 = start.y0(c);
  double num = 0.0, den = 0.0;
  for (const common::Plot& p : plots)
    for (int i = 0; i < p.n; ++i) {
      const double e = std::exp(-b * (p.ages[static_cast<std::size_t>(i)] - start.t0));
      num += (std::pow(p.heights[static_cast<std::size_t>(i)], c) - y0 * e) * (1.0 - e);
      den += (1.0 - e) * (1.0 - e);
    }
  const double A = num / den;
  if (!(A > 0.0)) return {};
  double sse = 0.0, log_heights = 0.0, count = 0.0;
  for (const common::Plot& p : plots)
    for (int i = 0; i < p.n; ++i) {
      const double h = p.heights[static_cast<std::size_t>(i)];
      const double e = std::exp(-b * (p.ages[static_cast<std::size_t>(i)] - start.t0));
      const double r = (std::pow(h, c) - y0 * e - A * (1.0 - e)) / c;
      sse += r * r;
      log_heights += std::log(h);
      count += 1.0;
    }
  const double criterion = count * std::log(sse / count) + 2.0 * (1.0 - c) * log_heights;
  if (!std::isfinite(criterion)) return {};
  return {criterion, std::pow(A, 1.0 / c), b, c};
}

GridPoint best_grid_point(const std::vector<common::Plot>& plots, const Start& start) {
  double age_sum = 0.0, count = 0.0;
  for (const common::Plot& p : plots)
    for (int i = 0; i < p.n; ++i) {
      age_sum += std::fabs(p.ages[static_cast<std::size_t>(i)] - start.t0);
      count += 1.0;
    }
  const double rate_unit = age_sum > 0.0 ? count / age_sum : 1.0;
  GridPoint best;
  for (double c : kPowers)
    for (int k = kLowestRateStep; k < kLowestRateStep + kRateSteps; ++k) {
      const GridPoint point = evaluate_grid_point(plots, start, rate_unit * std::ldexp(1.0, k), c);
      if (point.criterion < best.criterion) best = point;
    }
  return best;
}

// Residual of one measurement: height minus the curve. shape = (a, b, c),
// origin = (t0, y0); with a fixed start, y0 = r^c instead.
struct HeightResidual {
  double age, height, r;
  bool fixed;
  template <class T>
  bool operator()(const T* shape, const T* origin, T* residual) const {
    using std::exp;
    using std::pow;
    const T A = pow(shape[0], shape[2]);
    const T y0 = fixed ? pow(T(r), shape[2]) : origin[1];
    const T base = A + (y0 - A) * exp(-shape[1] * (age - origin[0]));
    if (!(base > T(0.0))) return false;
    residual[0] = T(height) - pow(base, T(1.0) / shape[2]);
    return true;
  }
};

void refine_by_least_squares(const std::vector<common::Plot>& plots, const ModelRoles& roles, const Start& start,
                             std::array<double, 3>& shape, std::array<double, 2>& origin) {
  ceres::Problem problem;
  for (const common::Plot& p : plots)
    for (int i = 0; i < p.n; ++i) {
      auto* cost = new ceres::AutoDiffCostFunction<HeightResidual, 1, 3, 2>(new HeightResidual{
          p.ages[static_cast<std::size_t>(i)], p.heights[static_cast<std::size_t>(i)], start.r, start.fixed});
      problem.AddResidualBlock(cost, nullptr, shape.data(), origin.data());
    }
  problem.SetParameterLowerBound(shape.data(), 0, 1e-12);                   // a > 0
  problem.SetParameterLowerBound(shape.data(), 1, 1e-12);                   // b > 0
  if (!start.fixed) problem.SetParameterLowerBound(shape.data(), 2, 1e-3);  // y0 = 0 needs c > 0
  if (roles.estimates(Role::t0)) {
    problem.SetManifold(origin.data(), new ceres::SubsetManifold(2, {1}));
  } else if (roles.estimates(Role::y0)) {
    problem.SetManifold(origin.data(), new ceres::SubsetManifold(2, {0}));
  } else {
    problem.SetParameterBlockConstant(origin.data());
  }
  ceres::Solver::Options options;
  options.logging_type = ceres::SILENT;
  options.num_threads = 1;
  options.max_num_iterations = 200;
  ceres::Solver::Summary summary;
  ceres::Solve(options, &problem, &summary);
}

}  // namespace

CurveShape fit_pooled_curve(const std::vector<common::Plot>& plots, const ModelRoles& roles, const model::Esde& esde) {
  const Start start = model_start(roles, esde);
  const GridPoint grid = best_grid_point(plots, start);
  std::array<double, 3> shape = {grid.a, grid.b, grid.c};
  std::array<double, 2> origin = {start.t0, 0.0};
  if (grid.criterion < INFINITY) refine_by_least_squares(plots, roles, start, shape, origin);
  CurveShape curve{shape[0], shape[1], shape[2], origin[0], start.fixed ? start.y0(shape[2]) : origin[1]};
  return curve;
}

}  // namespace starter
