// The final report: per-plot objectives, locals and standard errors; totals
// and the log-likelihood; globals with standard errors and correlations; and
// measurement-weighted averages of the locals and of their absolute values.
// The same figures come back as a summary, for the results files.
#pragma once

#include <array>
#include <span>
#include <string>

#include "estimator/shared_records.hpp"
#include "io/text_writer.hpp"

namespace estimator {

// Averages of the locals (or of their absolute values) weighted by the plots'
// numbers of measurements. Matrices are full and row by row: correlations
// (i, j) at i * kMaxLocals + j, correlations with the globals (i, k) at
// i * kMaxGlobals + k.
struct LocalSummary {
  std::array<double, common::kMaxLocals> averages{};
  std::array<double, common::kMaxLocals> standard_errors{};
  std::array<double, common::kMaxLocals * common::kMaxLocals> correlations{};
  std::array<double, common::kMaxLocals * common::kMaxGlobals> with_globals{};
};

struct ReportSummary {
  int plots = 0;
  long long measurements = 0;
  double objective = 0.0;  // minus twice the log-likelihood
  double log_likelihood = 0.0;
  std::array<double, common::kMaxGlobals> global_standard_errors{};
  // Full, row by row: (i, j) at i * kMaxGlobals + j.
  std::array<double, common::kMaxGlobals * common::kMaxGlobals> global_correlations{};
  LocalSummary averages;
  LocalSummary absolute;
  std::string data_fingerprint;    // of the plots read (common/fingerprint.hpp)
  std::string locals_fingerprint;  // of the records' identifiers and locals
};

// Receives every plot's line of the report as numbers, in plot order.
class PlotRows {
 public:
  virtual ~PlotRows() = default;
  virtual void row(int position, int id, int n, double f, std::span<const double> locals,
                   std::span<const double> standard_errors) = 0;
};

// Writes the report's sections after the title and the outcome message.
// rows: receives the plot lines as numbers (none when null); fingerprints:
// also fingerprint the plot files (for a results file).
ReportSummary report(const RunContext& run, io::TextWriter& out, const model::Globals& globals,
                     const GlobalFactor& hfactor, PlotRows* rows = nullptr, bool fingerprints = false);

}  // namespace estimator
