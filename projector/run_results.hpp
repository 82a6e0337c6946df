// The results file (JSON) of a finished estimator run, as far as the
// projector needs it: the model, the global estimates, the weighted averages
// of the locals and the fingerprints of the run's plot files; the covariance
// of the estimates (the globals' of a fixed-locals fit, the outer
// parameters' of a random-locals fit: diag(se) R diag(se), a parameter whose
// standard error is not finite taken as known); and, for a random-locals
// fit, its outer parameters and rule (docs/random-locals.md). Anything that
// is not a results file of estimator, or is inconsistent with its model,
// ends the run with a message naming the file and the key at fault.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/marginal/marginal_term.hpp"
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
  // Random locals: phi = (globals, means, psi) and the nodes per local of the
  // fit's rule (1: Laplace). A random-locals file has no fingerprints.
  bool random_locals = false;
  int nodes_per_local = 1;
  int outer = 0;
  model::marginal::Outer phi{};
  // The estimates whose covariance is known: NG globals (fixed locals) or
  // the `outer` parameters phi (random locals); row-major, kMaxOuter wide.
  int uncertain = 0;
  std::array<double, model::marginal::kMaxOuter * model::marginal::kMaxOuter> covariance{};
};

RunResults read_run_results(const std::string& path);

}  // namespace projector
