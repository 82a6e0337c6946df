// The data's scales and the estimates in the raw units of the measurements,
// as both results writers (fixed and random locals) put them in the JSON:
// "data_scales" (the scales and the name of the preparer's metadata beside
// the data file, when it still describes the data file), and "raw_globals" and the raw form of the
// locals' summaries (model/raw_units.hpp), each with names, units, estimates
// and standard errors.
#pragma once

#include <optional>
#include <string>

#include "common/data_metadata.hpp"
#include "estimator/json_values.hpp"
#include "model/raw_units.hpp"

namespace estimator {

// The metadata read before the run, if it describes the data file whose
// fingerprint is `fingerprint` (common::describing, the results file then
// giving no scales).
const common::DataMetadata* describing(const std::optional<common::DataMetadata>& metadata,
                                       const std::string& data_path, const std::string& fingerprint);

struct RawEstimates {
  const double* estimates;
  const double* standard_errors;
  const double* correlations;  // of the globals, rows of `leading`
  int leading;
};

// "data_scales", "raw_globals" and, under `locals_key`, the raw form of the
// `count` summaries of the locals named `names` (each a mean or deviation of
// the local whose name follows "mean_" or "sd_", or the local itself; a
// correlation stays as it is). Nothing is added without metadata.
void add_raw_units(json_values::Json& j, const common::DataMetadata* metadata, const std::string& data_path,
                   int model, const RawEstimates& globals);
void add_raw_locals(json_values::Json& j, const common::DataMetadata* metadata, const char* locals_key,
                    const json_values::Json& names, const double* estimates, const double* standard_errors);

}  // namespace estimator
