#include "projector/run_results.hpp"

#include "common/results_reader.hpp"
#include "model/model_table.hpp"

namespace projector {
RunResults read_run_results(const std::string& path) {
  const common::ResultsReader r(path);
  // A random-locals fit has no locals of its own per plot to project from.
  if (r.optional_text("/locals") == "random")
    r.bad("/locals", "is \"random\": the projector takes the results of a fixed-locals fit (estimator without "
                     "--random-locals); fit the same plot files without it to project them");
  RunResults run;
  run.title = r.text("/title");
  run.outcome = r.text("/outcome");
  const std::int64_t model = r.integer("/model/number");
  if (!model::valid_model(static_cast<int>(model)))
    r.bad("/model/number", "should be 1 to " + std::to_string(model::kModelCount));
  std::array<double, 2> constants{};
  r.numbers("/model/constants", 2, constants);
  run.esde = model::Esde{.k1 = constants[0], .k2 = constants[1], .model = static_cast<int>(model)};
  const auto counts = model::model_counts(run.esde.model);
  const auto& names = model::model_names(run.esde.model);
  run.ng = counts.ng;
  run.nl = counts.nl;
  r.names("/model/globals", run.ng, names.globals, run.esde.model);
  r.names("/model/locals", run.nl, names.locals, run.esde.model);
  r.names("/globals/names", run.ng, names.globals, run.esde.model);
  r.numbers("/globals/estimates", run.ng, run.globals);
  r.numbers("/local_averages/estimates", run.nl, run.local_averages);
  run.plots = r.integer("/plots");
  run.measurements = r.integer("/measurements");
  if (run.plots < 1) r.bad("/plots", "should be at least 1");
  run.data_fingerprint = r.fingerprint("/fingerprints/data");
  run.locals_fingerprint = r.fingerprint("/fingerprints/locals");
  run.data_file = r.optional_text("/files/data");
  run.locals_file = r.optional_text("/files/locals");
  if (r.has("/data_scales")) {
    run.data_scales = model::Scales{r.positive("/data_scales/age_scale"), r.positive("/data_scales/height_scale")};
    run.metadata_file = r.optional_text("/data_scales/metadata");
  }
  return run;
}

}  // namespace projector
