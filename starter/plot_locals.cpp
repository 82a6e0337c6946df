#include "starter/plot_locals.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <boost/math/tools/minima.hpp>

#include "estimator/likelihood.hpp"
#include "estimator/models/models.hpp"
#include "starter/asymptote_power.hpp"

namespace starter {
namespace {

constexpr int kGridHalf = 5;
constexpr double kGridFactor = 4.0;
constexpr int kBrentBits = 20;           // about 1e-6 relative in the rate
constexpr std::uintmax_t kBrentIterations = 60;
constexpr double kUnusable = 1e100;      // objective of a point that gives no finite value

double largest_height(const Plot& plot) { return *std::max_element(plot.heights.begin(), plot.heights.begin() + plot.n); }

// a = A^(1/c); an asymptote power that the data cannot give (not positive or
// not finite) falls back to the plot's largest height.
double asymptote_from_power(double power, double c, const Plot& plot) {
  const double a = power > 0.0 ? std::pow(power, 1.0 / c) : NAN;
  return std::isfinite(a) && a > 0.0 ? a : largest_height(plot);
}

// The locals for a trial rate (or, for a local asymptote alone, the only
// candidate): the rate where it is local, the best asymptote where that is.
estimator::Locals locals_for_rate(const ModelRoles& roles, const estimator::Esde& esde,
                                  const estimator::Globals& globals, const Plot& plot, double rate) {
  estimator::Locals locals{};
  if (roles.kind == LocalKind::rate || roles.kind == LocalKind::tied_rate) {
    locals[0] = rate;
    return locals;
  }
  locals[0] = 1.0;
  if (roles.kind == LocalKind::asymptote_and_rate) locals[1] = rate;
  estimator::Curve curve{};
  estimator::trpars(esde, globals, locals, curve);
  locals[0] = asymptote_from_power(best_asymptote_power(curve, plot), curve[2], plot);
  return locals;
}

}  // namespace

double plot_objective(const estimator::Esde& esde, const estimator::Globals& globals,
                      const estimator::Locals& locals, const Plot& plot) {
  estimator::Curve curve{};
  estimator::trpars(esde, globals, locals, curve);
  const double f = estimator::funct(curve, plot.n, plot.ages.data(), plot.heights.data());
  return std::isfinite(f) ? f : kUnusable;
}

LocalFit fit_locals(const ModelRoles& roles, const estimator::Esde& esde, const estimator::Globals& globals,
                    const Plot& plot, double rate_reference) {
  LocalFit fit;
  if (roles.kind == LocalKind::asymptote) {
    fit.locals = locals_for_rate(roles, esde, globals, plot, 0.0);
    fit.objective = plot_objective(esde, globals, fit.locals, plot);
    return fit;
  }
  // phi(x): the plot objective at the rate exp(x), other locals at their best.
  const auto phi = [&](double x) {
    return plot_objective(esde, globals, locals_for_rate(roles, esde, globals, plot, std::exp(x)), plot);
  };
  const double step = std::log(kGridFactor);
  const double centre = std::log(rate_reference);
  int best = -kGridHalf;
  double best_value = phi(centre - kGridHalf * step);
  for (int k = -kGridHalf + 1; k <= kGridHalf; ++k) {
    const double value = phi(centre + k * step);
    if (value < best_value) {
      best = k;
      best_value = value;
    }
  }
  double x = centre + best * step;
  fit.at_bound = best == -kGridHalf || best == kGridHalf;
  if (!fit.at_bound) {
    std::uintmax_t iterations = kBrentIterations;
    const auto [x_min, f_min] = boost::math::tools::brent_find_minima(phi, x - step, x + step, kBrentBits, iterations);
    if (f_min < best_value) x = x_min;
  }
  fit.locals = locals_for_rate(roles, esde, globals, plot, std::exp(x));
  fit.objective = plot_objective(esde, globals, fit.locals, plot);
  return fit;
}

}  // namespace starter
