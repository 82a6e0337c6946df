// A plot's locals at their conditional optimum: the values that minimise the
// plot objective (minus twice its log-likelihood) with the globals held.
//
// A local asymptote has a closed form (asymptote_power.hpp). A local rate is
// searched on the grid of rates reference * 4^k, k = -15 .. 15 (or -5 .. 5,
// see RateSearch): from k = 0
// the search walks downhill, one grid step at a time, and Brent's method then
// refines the rate between the neighbours of the lowest point. With a local
// asymptote as well (models 13, 18) the asymptote takes its closed form at
// every trial rate. A lowest point at the end of the grid is flagged: the
// plot's optimum runs away, and its start is the grid's end. An optimum
// inside the grid but beyond 4^5 = 1024 times the reference either way is
// flagged as extreme: a true optimum, which the estimator can take, but one
// worth a look.
#pragma once

#include "common/plot.hpp"
#include "model/model_records.hpp"
#include "starter/model_roles.hpp"

namespace starter {

struct LocalFit {
  model::Locals locals{};
  double objective = 0.0;  // the plot objective at the locals
  bool at_bound = false;   // the rate ran to an end of its range
  bool extreme = false;    // an interior optimum beyond 1024 times the reference rate either way
};

// The typical search ends at 4^5 = 1024 times the reference either way (the
// fits of the globals, whose trial points should not chase a plot's runaway
// rate); the wide one, for the starting locals, at 4^15.
enum class RateSearch { typical, wide };

LocalFit fit_locals(const ModelRoles& roles, const model::Esde& esde, const model::Globals& globals,
                    const common::Plot& plot, double rate_reference, RateSearch search);

// The plot objective at given locals; non-finite values are replaced by a
// large number so that searches move away from them.
double plot_objective(const model::Esde& esde, const model::Globals& globals, const model::Locals& locals,
                      const common::Plot& plot);

}  // namespace starter
