// The final report: per-plot objectives, locals and standard errors; totals
// and the log-likelihood; globals with standard errors and correlations; and
// measurement-weighted averages of the locals and of their absolute values.
#pragma once

#include "estimator/shared_records.hpp"

namespace estimator {

void report(const Globals& globals, const GlobalFactor& hfactor);

}  // namespace estimator
