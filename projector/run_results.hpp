// The results file (JSON) of a finished estimator run, as far as the
// projector needs it: the model, the global estimates, the weighted averages
// of the locals and the fingerprints of the run's plot files. Anything that
// is not a results file of estimator, or is inconsistent with its model,
// ends the run with a message naming the file and the key at fault.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/model_records.hpp"
#include "model/raw_units.hpp"

namespace projector {

struct RunResults {
  std::string title;
  std::string outcome;
  model::Esde esde;  // model number and constants
  int ng = 0;
  int nl = 0;
  std::int64_t plots = 0;
  std::int64_t measurements = 0;
  model::Globals globals{};
  model::Locals local_averages{};
  std::string data_fingerprint;
  std::string locals_fingerprint;
  // The plot files as they were named to the run ("/files"; empty when the
  // results file does not say).
  std::string data_file;
  std::string locals_file;
  // The data's scales, from the preparer's metadata of the run's data file
  // ("/data_scales"; nothing when the run found none), and that file's name.
  std::optional<model::Scales> data_scales;
  std::string metadata_file;
};

RunResults read_run_results(const std::string& path);

}  // namespace projector
