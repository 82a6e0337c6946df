// Full Newton method over the globals and every plot's locals, streaming the
// plots' records of the local-parameter file three times per iteration.
#pragma once

#include "estimator/shared_records.hpp"
#include "estimator/trace.hpp"

namespace estimator {

// globals: in starting values, out estimates. mfreq: a plot line for every
// plot whose position is a multiple of mfreq (none when mfreq is 0). itlim:
// in the iteration limit, out the limit minus the iterations performed
// (negative: limit exceeded). tol: the tolerance on both the largest step
// component and the largest gradient component. hfactor: out the packed
// factor of the reduced global Hessian. npd: out the number of
// factorisations of the last iteration that were not positive definite.
// last: out the summary of the last iteration.
void newton(const RunContext& run, model::Globals& globals, const int& mfreq, int& itlim, const double& tol,
            GlobalFactor& hfactor, int& npd, IterationSummary& last);

}  // namespace estimator
