// The starter's rules for a plot's starting locals, checked against
// independent computations: the plot objective (funct) evaluated directly,
// and brute-force searches over fine grids of locals.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <random>

#include "model/likelihood.hpp"
#include "model/models.hpp"
#include "io/errors.hpp"
#include "starter/asymptote_power.hpp"
#include "starter/identifiability.hpp"
#include "starter/model_roles.hpp"
#include "starter/plot_locals.hpp"
#include "starter/profile.hpp"

namespace {

using model::Curve;
using model::Globals;
using model::Locals;

common::Plot make_plot(std::initializer_list<double> ages, std::initializer_list<double> heights) {
  common::Plot p;
  p.id = 7;
  p.n = static_cast<int>(ages.size());
  std::copy(ages.begin(), ages.end(), p.ages.begin());
  std::copy(heights.begin(), heights.end(), p.heights.begin());
  return p;
}

// Heights on the noise-free curve of `curve` at the given ages.
common::Plot curve_plot(const Curve& curve, std::initializer_list<double> ages) {
  common::Plot p = make_plot(ages, {});
  const double A = std::pow(curve[model::kCurveA], curve[model::kCurveC]);
  for (int i = 0; i < p.n; ++i) {
    const double e = std::exp(-curve[model::kCurveB] * (p.ages[static_cast<std::size_t>(i)] - curve[model::kCurveT0]));
    p.heights[static_cast<std::size_t>(i)] =
        std::pow(A + (curve[model::kCurveY0] - A) * e, 1.0 / curve[model::kCurveC]);
  }
  return p;
}

double f_at(const Curve& curve, const common::Plot& p) {
  return model::funct(curve, p.n, p.ages.data(), p.heights.data());
}

// The closed form of the best asymptote power against funct itself: the
// profile objective is funct at a = A^(1/c), and funct rises on both sides.
TEST(StarterAsymptote, ClosedFormIsTheMinimumOfTheObjective) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 50; ++trial) {
    SCOPED_TRACE(trial);
    const double c = 0.2 + 1.2 * u(rng);
    const Curve truth = {2.0 + 2.0 * u(rng),
                         0.05 + 0.3 * u(rng),
                         c,
                         0.3 * u(rng),
                         0.05 + 0.3 * u(rng),
                         0.01 + 0.1 * u(rng),
                         trial % 3 == 0 ? 0.5 * u(rng) : 0.0,
                         trial % 2 == 0 ? std::pow(0.2 * u(rng), c) : 0.0};
    common::Plot p = curve_plot(truth, {1.0, 3.0, 3.0, 6.0, 9.5, 14.0});
    for (int i = 0; i < p.n; ++i) p.heights[static_cast<std::size_t>(i)] *= 1.0 + 0.05 * (u(rng) - 0.5);
    const starter::AsymptoteProfile profile = starter::best_asymptote_power(truth, p, starter::power_heights(p, c));
    ASSERT_GT(profile.power, 0.0);
    Curve at = truth;
    at[0] = std::pow(profile.power, 1.0 / c);
    const double f = f_at(at, p);
    EXPECT_NEAR(profile.objective, f, 1e-9 * (1.0 + std::fabs(f)));
    for (double factor : {0.999, 1.001}) {
      at[0] = std::pow(profile.power * factor, 1.0 / c);
      EXPECT_GT(f_at(at, p), f);
    }
  }
}

struct Case {
  int model;
  Globals globals;
};

// Each way locals enter a curve: the asymptote (1), the rate with a global
// asymptote (6), the rate with a tied asymptote (11, 12), both (13), and a
// fixed start (18, constants 1 and 10).
const Case kCases[] = {
    {1, {0.15, 0.7, 0.2, 0.05}},      {6, {3.0, 0.7, 0.2, 0.05}}, {11, {2.0, 6.0, 0.7, 0.2, 0.05}},
    {12, {6.0, 0.4, 0.7, 0.2, 0.05}}, {13, {0.7, 0.2, 0.05}},     {18, {0.7, 0.2, 0.05}},
};

model::Esde esde_of(int model) { return model::Esde{.k1 = 1.0, .k2 = 10.0, .model = model}; }

// The smallest plot objective on a grid of locals (log-spaced, 1.5% apart):
// an independent search for the conditional optimum.
double grid_minimum(const Case& c, const common::Plot& p, Locals& best) {
  const auto roles = starter::model_roles(c.model);
  const auto esde = esde_of(c.model);
  double lowest = INFINITY;
  const auto value = [](int k) { return 0.01 * std::exp(0.015 * k); };
  const int steps = 620;  // 0.01 .. about 110
  for (int i = 0; i < steps; ++i)
    for (int j = 0; j < (roles.nl == 2 ? steps : 1); ++j) {
      Locals l{};
      l[0] = value(i);
      if (roles.nl == 2) l[1] = value(j);
      const double f = starter::plot_objective(esde, c.globals, l, p);
      if (f < lowest) {
        lowest = f;
        best = l;
      }
    }
  return lowest;
}

// On a noisy plot, the starter's locals are at least as good as the best of a
// fine grid, and close to it.
TEST(StarterLocals, NoWorseThanABruteForceGridForEveryKindOfLocal) {
  const common::Plot p = make_plot({1.0, 3.0, 5.0, 7.5, 10.0, 14.0, 20.0}, {0.21, 0.62, 0.98, 1.47, 1.79, 2.31, 2.64});
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.model);
    const auto roles = starter::model_roles(c.model);
    const starter::LocalFit fit = starter::fit_locals(roles, esde_of(c.model), c.globals, p, 0.15, starter::RateSearch::typical);
    Locals grid_best{};
    const double lowest = grid_minimum(c, p, grid_best);
    EXPECT_FALSE(fit.at_bound);
    EXPECT_LE(fit.objective, lowest + 1e-9);
    EXPECT_NEAR(fit.objective,
                f_at(
                    [&] {
                      Curve curve{};
                      model::trpars(esde_of(c.model), c.globals, fit.locals, curve);
                      return curve;
                    }(),
                    p),
                1e-12 * (1.0 + std::fabs(fit.objective)));
    for (int l = 0; l < roles.nl; ++l)
      EXPECT_NEAR(std::log(fit.locals[static_cast<std::size_t>(l)]), std::log(grid_best[static_cast<std::size_t>(l)]),
                  0.05);
  }
}

// Hand-made plots at the edges: every start is finite and positive. A plot
// that grows as model 13's curve does when its rate goes to 0 has no finite
// asymptote and rate of its own there: it is flagged. A flat plot
// is not: its process noise keeps the rate finite.
TEST(StarterLocals, EdgePlotsGiveFiniteStartsAndFlagRunaways) {
  struct Edge {
    const char* what;
    common::Plot plot;
    bool runaway_for_model_13;
  };
  const Edge edges[] = {
      {"flat", make_plot({2.0, 5.0, 9.0, 14.0}, {1.5, 1.5, 1.5, 1.5}), false},
      {"one measurement", make_plot({6.0}, {1.2}), false},
      {"equal ages", make_plot({6.0, 6.0, 6.0}, {1.1, 1.2, 1.3}), false},
      // h = 0.05 t^(1/0.7): the curve's form as the rate goes to 0.
      {"never approaching its asymptote", make_plot({1.0, 5.0, 9.0, 13.0, 17.0}, {0.05, 0.497, 1.15, 1.95, 2.86}),
       true},
  };
  for (const Edge& e : edges) {
    for (const Case& c : kCases) {
      const auto roles = starter::model_roles(c.model);
      if (roles.nl == 2 && e.plot.n == 1) continue;  // refused before any fit
      if (roles.nl == 2 && std::string(e.what) == "equal ages") continue;
      SCOPED_TRACE(std::string(e.what) + ", model " + std::to_string(c.model));
      const starter::LocalFit fit = starter::fit_locals(roles, esde_of(c.model), c.globals, e.plot, 0.15, starter::RateSearch::typical);
      for (int l = 0; l < roles.nl; ++l) {
        EXPECT_TRUE(std::isfinite(fit.locals[static_cast<std::size_t>(l)]));
        EXPECT_GT(fit.locals[static_cast<std::size_t>(l)], 0.0);
      }
      EXPECT_LT(fit.objective, 1e99);
      if (c.model == 13) {
        EXPECT_EQ(fit.at_bound, e.runaway_for_model_13);
      }
    }
  }
}

// A plot whose rate lies 3000 times above the reference, well inside the
// curve's range: the typical search cannot reach it, the wide search finds it
// near the rate that made the plot, and flags it as extreme, not as a runaway.
TEST(StarterLocals, AnExtremeInteriorRateIsFoundAndFlaggedNotRefused) {
  const double truth = 0.12, reference = truth / 3000.0;
  for (const Case& c : kCases) {
    const auto roles = starter::model_roles(c.model);
    if (roles.kind == starter::LocalKind::asymptote) continue;
    SCOPED_TRACE(c.model);
    Locals locals{};
    locals[static_cast<std::size_t>(roles.rate_local)] = truth;
    if (roles.kind == starter::LocalKind::asymptote_and_rate) locals[static_cast<std::size_t>(roles.asymptote_local)] = 3.0;
    Curve curve{};
    model::trpars(esde_of(c.model), c.globals, locals, curve);
    const common::Plot p = curve_plot(curve, {2.0, 4.0, 7.0, 10.0, 14.0, 19.0, 25.0, 32.0});
    const auto typical = starter::fit_locals(roles, esde_of(c.model), c.globals, p, reference, starter::RateSearch::typical);
    const auto wide = starter::fit_locals(roles, esde_of(c.model), c.globals, p, reference, starter::RateSearch::wide);
    EXPECT_TRUE(typical.at_bound);
    EXPECT_FALSE(wide.at_bound);
    EXPECT_TRUE(wide.extreme);
    EXPECT_LT(wide.objective, typical.objective);
    EXPECT_NEAR(std::log(wide.locals[static_cast<std::size_t>(roles.rate_local)]), std::log(truth), 0.1);
  }
}

// Flatness is refused; curvature clearly negative is a point that is not yet
// an optimum, from which the estimator's modified Newton steps away.
TEST(StarterIdentifiability, NegativeCurvatureIsNotFlatness) {
  const auto roles = starter::model_roles(1);
  starter::ProfilePoint point;
  point.hessian = starter::GlobalMatrix::Identity(roles.ng, roles.ng);
  point.hessian(0, 1) = point.hessian(1, 0) = 1.0;  // singular: a+b flat direction
  EXPECT_THROW(starter::check_identified(point, roles), io::Stop);
  point.hessian(0, 1) = point.hessian(1, 0) = 1.5;  // eigenvalue -0.5
  EXPECT_NO_THROW(starter::check_identified(point, roles));
  point.hessian(0, 1) = point.hessian(1, 0) = 0.5;
  EXPECT_NO_THROW(starter::check_identified(point, roles));
}

// The profile's derivatives (the plots' ggrad at their best locals, and the
// reduced blocks hgg - hlg^T hll^-1 hlg) against central differences of the
// profile objective itself, each point with its locals found afresh.
TEST(StarterProfile, DerivativesMatchDifferencesOfTheProfile) {
  std::vector<common::Plot> plots;
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int k = 0; k < 12; ++k) {
    const Curve truth = {2.5 + u(rng), 0.1 + 0.1 * u(rng), 0.7, 0.0, 0.2, 0.05, 0.0, 0.0};
    common::Plot p = curve_plot(truth, {1.0 + k % 3, 4.0, 7.0, 10.0, 14.0, 19.0});
    for (int i = 0; i < p.n; ++i) p.heights[static_cast<std::size_t>(i)] *= 1.0 + 0.06 * (u(rng) - 0.5);
    plots.push_back(p);
  }
  for (const Case& c : {kCases[0], kCases[1], kCases[4]}) {
    SCOPED_TRACE(c.model);
    const starter::ProfileSettings settings{starter::model_roles(c.model), esde_of(c.model), 0.15};
    const int ng = settings.roles.ng;
    const starter::ProfilePoint at = starter::evaluate_profile(plots, settings, c.globals, true);
    for (int i = 0; i < ng; ++i) {
      const double h = 1e-5 * std::max(std::fabs(c.globals[static_cast<std::size_t>(i)]), 0.1);
      Globals up = c.globals, down = c.globals;
      up[static_cast<std::size_t>(i)] += h;
      down[static_cast<std::size_t>(i)] -= h;
      const starter::ProfilePoint pu = starter::evaluate_profile(plots, settings, up, true);
      const starter::ProfilePoint pd = starter::evaluate_profile(plots, settings, down, true);
      const double difference = (pu.objective - pd.objective) / (2.0 * h);
      EXPECT_NEAR(at.gradient(i), difference, 1e-4 * (1.0 + std::fabs(difference))) << "global " << i;
      if (c.model != 1) continue;  // with a closed-form local the differences are clean enough for the Hessian
      for (int j = 0; j < ng; ++j) {
        const double second = (pu.gradient(j) - pd.gradient(j)) / (2.0 * h);
        EXPECT_NEAR(at.hessian(j, i), second, 1e-4 * (1.0 + std::fabs(second))) << "globals " << j << ", " << i;
      }
    }
  }
}

}  // namespace
