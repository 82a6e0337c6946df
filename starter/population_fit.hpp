// Starting values of a random-locals fit (estimator --random-locals): the
// globals and the population of the locals, u ~ Normal(mu, Psi), that
// maximise the sample's marginal likelihood in the Laplace approximation the
// estimator uses by default (model/marginal/marginal_term.hpp), found by
// Ceres' BFGS in variables scaled by the plots' scores at the start,
// B = (1/2) sum g_p g_p'. The search starts from the fixed-locals starting
// globals, with the mean and covariance of the sample's best locals there; a
// global deviation below a tenth of the largest starts at a tenth of it (at
// 0, where the fixed-locals fit of a two-local model puts the process
// deviation, the marginal objective is stationary in it); while a plot has
// no usable mode there, the deviations of the locals are halved, up to 6
// times. Each plot's mode search starts from its mode at the last point.
//
// Then every plot's locals in the local-parameter file are spread so that
// their mean and covariance are the fitted population's: the estimator takes
// its starting population from them.
#pragma once

#include <array>
#include <vector>

#include "common/limits.hpp"
#include "common/plot.hpp"
#include "model/marginal/marginal_term.hpp"
#include "starter/profile.hpp"

namespace starter {

struct PopulationFit {
  model::marginal::Outer phi{};  // globals, mu, psi (model/marginal/population.hpp)
  bool usable = false;           // every plot of the sample has a mode at the (narrowed) start
  int failed_plot = 0;           // otherwise the identifier of the first that has none
  double objective = 0.0;        // the sample's marginal objective (minus twice its log-likelihood)
  int iterations = 0;
};

PopulationFit fit_population(const std::vector<common::Plot>& plots, const ProfileSettings& settings,
                             const model::Globals& globals);

// The mean and covariance (divisor count - 1, as the estimator takes them)
// of NL locals, summed in file order.
struct LocalsMoments {
  int nl = 0;
  double count = 0.0;
  std::array<double, common::kMaxLocals> sum{};
  std::array<double, 4> cross{};  // sums of u_l u_m, l + 2 m
  void add(const double* u);
  double mean(int l) const;
  double covariance(int l, int m) const;
};

// The map u -> mu + A (u - m), A = chol(Psi) chol(C)^-1, that takes locals of
// the moments given to the population of phi; the identity where their
// covariance is not positive definite.
struct LocalsSpread {
  int nl = 0;
  std::array<double, common::kMaxLocals> from{}, to{};
  std::array<double, 4> a{1.0, 0.0, 0.0, 1.0};  // row-major 2 x 2 (1 x 1 in a[0])
  void apply(double* u) const;
};
LocalsSpread spread_to_population(const LocalsMoments& moments, const model::marginal::Outer& phi, int ng);

}  // namespace starter
