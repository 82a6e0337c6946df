#include "starter/plot_locals.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <boost/math/tools/minima.hpp>

#include "model/likelihood.hpp"
#include "model/models.hpp"
#include "starter/asymptote_power.hpp"

namespace starter {
namespace {

constexpr int kGridHalf = 15;    // the search's range: 4^15, about 1e9 times the reference either way
constexpr int kTypicalHalf = 5;  // beyond 4^5 = 1024 times the reference, an optimum is extreme
constexpr double kGridFactor = 4.0;
constexpr double kLevelledOff = 1e-4;  // in the plot objective, minus twice a log-likelihood
constexpr int kBrentBits = 16;         // about 3e-5 relative in the rate
constexpr std::uintmax_t kBrentIterations = 40;
constexpr double kUnusable = 1e100;  // objective of a point that gives no finite value

double largest_height(const common::Plot& plot) {
  return *std::max_element(plot.heights.begin(), plot.heights.begin() + plot.n);
}

struct Candidate {
  model::Locals locals{};
  double objective = kUnusable;
};

// The locals for a trial rate (for a local asymptote alone, the only
// candidate): the rate where it is local, the best asymptote where that is.
// An asymptote power that the data cannot give (not positive or not finite)
// falls back to the plot's largest height.
Candidate candidate_at_rate(const ModelRoles& roles, const model::Esde& esde, const model::Globals& globals,
                            const common::Plot& plot, const PoweredHeights& heights, double rate) {
  Candidate candidate;
  if (roles.kind == LocalKind::rate || roles.kind == LocalKind::tied_rate) {
    candidate.locals[static_cast<std::size_t>(roles.rate_local)] = rate;
    candidate.objective = plot_objective(esde, globals, candidate.locals, plot);
    return candidate;
  }
  const auto asymptote = static_cast<std::size_t>(roles.asymptote_local);
  candidate.locals[asymptote] = 1.0;
  if (roles.kind == LocalKind::asymptote_and_rate) candidate.locals[static_cast<std::size_t>(roles.rate_local)] = rate;
  model::Curve curve{};
  model::trpars(esde, globals, candidate.locals, curve);
  const AsymptoteProfile profile = best_asymptote_power(curve, plot, heights);
  const double a = profile.power > 0.0 ? std::pow(profile.power, 1.0 / curve[model::kCurveC]) : NAN;
  if (std::isfinite(a) && a > 0.0 && std::isfinite(profile.objective)) {
    candidate.locals[asymptote] = a;
    candidate.objective = profile.objective;
  } else {
    candidate.locals[asymptote] = largest_height(plot);
    candidate.objective = plot_objective(esde, globals, candidate.locals, plot);
  }
  return candidate;
}

}  // namespace

double plot_objective(const model::Esde& esde, const model::Globals& globals, const model::Locals& locals,
                      const common::Plot& plot) {
  model::Curve curve{};
  model::trpars(esde, globals, locals, curve);
  const double f = model::funct(curve, plot.n, plot.ages.data(), plot.heights.data());
  return std::isfinite(f) ? f : kUnusable;
}

LocalFit fit_locals(const ModelRoles& roles, const model::Esde& esde, const model::Globals& globals,
                    const common::Plot& plot, double rate_reference, RateSearch search) {
  LocalFit fit;
  const int half = search == RateSearch::wide ? kGridHalf : kTypicalHalf;
  // The power c is a global: the heights take it once for the whole search.
  model::Curve curve{};
  model::Locals unit{};
  unit.fill(1.0);
  model::trpars(esde, globals, unit, curve);
  const PoweredHeights heights = roles.kind == LocalKind::asymptote || roles.kind == LocalKind::asymptote_and_rate
                                     ? power_heights(plot, curve[model::kCurveC])
                                     : PoweredHeights{};
  if (roles.kind == LocalKind::asymptote) {
    fit.locals = candidate_at_rate(roles, esde, globals, plot, heights, 0.0).locals;
    fit.objective = plot_objective(esde, globals, fit.locals, plot);
    return fit;
  }
  // phi(x): the objective at the rate exp(x), other locals at their best.
  const auto phi = [&](double x) {
    return candidate_at_rate(roles, esde, globals, plot, heights, std::exp(x)).objective;
  };
  const double step = std::log(kGridFactor);
  const double centre = std::log(rate_reference);
  const auto grid = [&](int k) { return centre + k * step; };
  const double f0 = phi(grid(0)), f1 = phi(grid(1));
  const int direction = f1 < f0 ? 1 : -1;
  int best = f1 < f0 ? 1 : 0;
  double best_value = std::min(f0, f1);
  double beyond = best_value;  // the objective one step past the lowest point
  for (int k = best + direction; k >= -half && k <= half; k += direction) {
    beyond = phi(grid(k));
    if (!(beyond < best_value)) break;
    best = k;
    best_value = beyond;
  }
  double x = grid(best);
  // An objective that has levelled off (the next step no higher by more than
  // rounding) is a runaway too: its optimum lies at the end of the rates.
  const bool levelled = !(beyond - best_value > kLevelledOff);
  fit.at_bound = best == -half || best == half || (std::abs(best) > kTypicalHalf && levelled);
  fit.extreme = !fit.at_bound && (best <= -kTypicalHalf || best >= kTypicalHalf);
  if (!fit.at_bound) {
    std::uintmax_t iterations = kBrentIterations;
    const auto [x_min, f_min] = boost::math::tools::brent_find_minima(phi, x - step, x + step, kBrentBits, iterations);
    if (f_min < best_value) x = x_min;
  }
  fit.locals = candidate_at_rate(roles, esde, globals, plot, heights, std::exp(x)).locals;
  fit.objective = plot_objective(esde, globals, fit.locals, plot);
  return fit;
}

}  // namespace starter
