// The results of a random-locals fit as one JSON object (layout in
// docs/results-files.md): "locals": "random", the approximation, the
// globals and the population parameters with standard errors, the
// correlations of the outer parameters, the marginal log-likelihood, the
// number of parameters NG + NL + NL (NL + 1) / 2, AIC and BIC.
#pragma once

#include "estimator/marginal_report.hpp"
#include "estimator/results_json.hpp"

namespace estimator {

// `metadata`: the preparer's metadata of the data file, when it describes it (else null).
void write_marginal_json(io::TextWriter& out, const MarginalRun& run, const RunFiles& files,
                         const MarginalEstimates& e, const common::DataMetadata* metadata);

}  // namespace estimator
