// Full Newton method over the globals and every plot's locals, streaming the
// plots' records of the local-parameter file three times per iteration.
#pragma once

#include "estimator/shared_records.hpp"
#include "estimator/trace.hpp"

namespace estimator {

// globals: in starting values, out estimates. itlim: in the iteration limit,
// out the limit minus the iterations performed (negative: limit exceeded).
// hfactor: out the packed factor of the reduced global Hessian. npd: out the
// number of factorisations of the last iteration that were not positive
// definite. mfreq: a plot line every mfreq plots (none when mfreq <= 0).
// last: out the summary of the last iteration. threads: how many threads
// evaluate the plots (the results do not depend on it).
void newton(Globals& globals, const int& mfreq, int& itlim, const double& tol, GlobalFactor& hfactor, int& npd,
            IterationSummary& last, int threads);

}  // namespace estimator
