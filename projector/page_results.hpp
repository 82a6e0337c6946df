// What the summary page shows of a results file beyond what the projection
// needs: the run's outcome and counts, the globals with their standard errors
// and correlations, and the weighted averages of the locals. Values the run
// could not give (null) are NaN.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace projector {

struct EstimateTable {
  std::vector<std::string> names;
  std::vector<double> estimates;
  std::vector<double> standard_errors;
  std::vector<std::vector<double>> correlations;  // square, full
};

struct PageResults {
  std::string title;
  int model = 0;
  std::string outcome;
  std::int64_t iterations = 0;
  std::int64_t iteration_limit = 0;  // -1: not in the file (a random-locals fit)
  std::int64_t plots = 0;
  std::int64_t measurements = 0;
  std::int64_t parameters = 0;
  double log_likelihood = 0;
  double aic = 0;
  double bic = 0;
  EstimateTable globals;
  EstimateTable local_averages;  // no correlations
  // A random-locals fit: the log-likelihood is the marginal one, the locals
  // are shown by their population's parameters (`local_averages` holds them:
  // mean_a, sd_a, ...), and the correlations are those of all the outer
  // parameters (`outer`: the globals' names, then the population's).
  bool random_locals = false;
  EstimateTable outer;  // names and correlations only
};

// The results file has been read once by read_run_results, which checked it.
PageResults read_page_results(const std::string& path);

}  // namespace projector
