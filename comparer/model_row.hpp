// One row of the comparison: a model's fit from its self-start, as its
// results file tells it, with a flag for optima the user must know about.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace comparer {

struct ModelRow {
  int model = 0;
  std::string outcome;  // the estimator's outcome, "not started" or "failed"
  double log_likelihood = NAN;
  std::int64_t parameters = 0;
  double aic = NAN;
  double bic = NAN;
  int iterations = 0;
  double seconds = 0.0;  // starter and estimator together
  std::string flag;      // deviations at 0, locals that ran away; why a model was not started
};

}  // namespace comparer
