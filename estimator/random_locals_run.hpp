// The random-locals run of the estimator (--random-locals): starting values
// from the control file's globals and the locals of the local-parameter file,
// the outer fit with its trace on the console, the outer Hessian, and the
// report, JSON and per-plot CSV at the estimates. The local-parameter file
// ends holding each plot's conditional mode, and holds the modes of the last
// pass at any moment, so that an interrupted run starts again from it.
#pragma once

#include <optional>

#include "common/control_file.hpp"
#include "common/data_metadata.hpp"
#include "estimator/results_json.hpp"
#include "estimator/shared_records.hpp"
#include "io/text_writer.hpp"

namespace estimator {

struct RandomLocalsCall {
  const common::ControlFile& control;
  const RunFiles& names;
  const Files& files;
  int threads = 1;
  int nodes_per_local = 1;
  io::TextWriter& report;
  std::optional<io::TextWriter>& json;
  std::optional<io::TextWriter>& plots;
  const std::optional<common::DataMetadata>& metadata;
};

void run_random_locals(const RandomLocalsCall& call);

}  // namespace estimator
