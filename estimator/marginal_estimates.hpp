// The estimates of a random-locals fit as its results files show them: the
// outer parameters phi = (globals, mu, psi) with standard errors and
// correlations from the covariance 2 H^-1 (H the Hessian of the summed
// marginal terms, which are minus twice a log-likelihood), and the population
// in natural units: the means, the deviations sigma_l = e^psi_l (standard
// error sigma_l se(psi_l)) and, for two locals, rho = tanh z (standard error
// (1 - rho^2) se(z)).
#pragma once

#include "estimator/random_locals_fit.hpp"

namespace estimator {

struct MarginalEstimates {
  int ng = 0, nl = 0, outer = 0;
  model::marginal::Outer phi{};
  model::marginal::Outer phi_se{};  // not-a-number where H is not positive definite
  OuterMatrix correlations{};       // of phi, leading dimension kMaxOuter
  bool hessian_positive = true;
  // Population parameters in natural units, in phi's order after the globals:
  // the means, the deviations, then rho.
  std::array<double, 5> population{};
  std::array<double, 5> population_se{};
  double objective = 0.0;  // M, minus twice the marginal log-likelihood
  long long plots = 0, measurements = 0;
};

MarginalEstimates marginal_estimates(const MarginalProblem& problem, const model::marginal::Outer& phi,
                                     const OuterMatrix& hessian);

}  // namespace estimator
