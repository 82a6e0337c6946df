#include "estimator/marginal_estimates.hpp"

#include <cmath>
#include <limits>

#include "estimator/outer_algebra.hpp"

namespace estimator {

MarginalEstimates marginal_estimates(const MarginalProblem& problem, const model::marginal::Outer& phi,
                                     const OuterMatrix& hessian) {
  constexpr int kLd = model::marginal::kMaxOuter;
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  MarginalEstimates e;
  e.ng = problem.sizes.ng;
  e.nl = problem.sizes.nl;
  e.outer = problem.outer;
  e.phi = phi;
  OuterMatrix inverse{};
  e.hessian_positive = invert_positive(hessian, e.outer, inverse);
  for (int i = 0; i < e.outer; ++i) {
    const double v = 2.0 * inverse[static_cast<std::size_t>(i * kLd + i)];
    e.phi_se[static_cast<std::size_t>(i)] = e.hessian_positive && v > 0.0 ? std::sqrt(v) : kNaN;
  }
  for (int i = 0; i < e.outer; ++i)
    for (int j = 0; j < e.outer; ++j)
      e.correlations[static_cast<std::size_t>(i * kLd + j)] =
          2.0 * inverse[static_cast<std::size_t>(i * kLd + j)] /
          (e.phi_se[static_cast<std::size_t>(i)] * e.phi_se[static_cast<std::size_t>(j)]);
  const int np = e.outer - e.ng;
  for (int k = 0; k < np; ++k) {
    const auto at = static_cast<std::size_t>(e.ng + k);
    const auto kk = static_cast<std::size_t>(k);
    if (k < e.nl) {
      e.population[kk] = phi[at];
      e.population_se[kk] = e.phi_se[at];
    } else if (k < 2 * e.nl) {
      e.population[kk] = std::exp(phi[at]);
      e.population_se[kk] = e.population[kk] * e.phi_se[at];
    } else {
      e.population[kk] = std::tanh(phi[at]);
      e.population_se[kk] = (1.0 - e.population[kk] * e.population[kk]) * e.phi_se[at];
    }
  }
  return e;
}

}  // namespace estimator
