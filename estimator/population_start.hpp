// Starting values of the random-locals fit: the outer parameters phi =
// (globals, mu, psi) with the globals as given and mu and Psi the mean and
// covariance of the locals of the local-parameter file's records (a
// fixed-locals run's estimates), summed in plot order. A deviation that is
// not positive (every plot's local the same, as the preparer writes them)
// starts at a tenth of the mean's magnitude, or 0.1 for a mean of 0.
#pragma once

#include "estimator/pass_pipeline.hpp"
#include "model/marginal/marginal_term.hpp"

namespace estimator {

model::marginal::Outer population_start(PassPipeline& pipeline, const Sizes& sizes, const model::Globals& globals);

}  // namespace estimator
