// The results of a run as one JSON object (layout in docs/results-files.md):
// everything the report shows, at full precision, with the model, the outcome
// and the fingerprints of the plot files.
#pragma once

#include <string>

#include "common/control_file.hpp"
#include "common/data_metadata.hpp"
#include "estimator/newton.hpp"
#include "estimator/report.hpp"
#include "io/text_writer.hpp"

namespace estimator {

struct RunFiles {
  std::string control, data, locals, report;
};

struct RunResults {
  const common::ControlFile& control;
  const RunFiles& files;
  const model::Globals& globals;
  const NewtonSummary& fit;
  const ReportSummary& summary;
  // The preparer's metadata of the data file, when it describes it (else null).
  const common::DataMetadata* metadata = nullptr;
};

void write_results_json(io::TextWriter& out, const RunResults& run);

}  // namespace estimator
