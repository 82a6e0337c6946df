// The report of a random-locals fit, in the layout of the fixed-locals report
// where it fits: the title and the outcome, the approximation, the globals
// and the population parameters with their standard errors, the correlations
// of the outer parameters, the marginal log-likelihood, and one line per plot
// (its marginal term, the conditional modes of its locals and their
// conditional standard deviations), written as the last pass reaches it.
#pragma once

#include <array>
#include <string>

#include "estimator/marginal_estimates.hpp"
#include "io/text_writer.hpp"

namespace estimator {

struct MarginalRun {
  std::string title;
  int model = 0;
  int nodes_per_local = 1;
  const MarginalSummary& fit;
  std::array<double, 2> constants{};  // the model constants K1, K2
};

void write_marginal_head(io::TextWriter& out, const MarginalRun& run, const MarginalEstimates& e);
void write_marginal_plot_heading(io::TextWriter& out);
void write_marginal_plot(io::TextWriter& out, int nl, const PlotSlot& slot);

const char* marginal_outcome_text(MarginalOutcome outcome);

}  // namespace estimator
