#include "projector/run_results.hpp"

#include <cmath>

#include "common/results_reader.hpp"
#include "model/model_table.hpp"

namespace projector {
namespace {

// diag(se) R diag(se) of `count` estimates under `pointer`; a standard error
// or correlation that is not finite (a boundary estimate) counts as 0.
void read_covariance(const common::ResultsReader& r, const std::string& pointer, int count, RunResults& run) {
  const std::string holds = "should hold " + std::to_string(count);
  if (r.size(pointer + "/standard_errors") != count) r.bad(pointer + "/standard_errors", holds + " numbers");
  if (r.size(pointer + "/correlations") != count) r.bad(pointer + "/correlations", holds + " rows");
  const auto finite_or_0 = [](double v) { return std::isfinite(v) ? v : 0.0; };
  std::array<double, model::marginal::kMaxOuter> se{};
  for (int i = 0; i < count; ++i)
    se[static_cast<std::size_t>(i)] = finite_or_0(r.number_or_nan(pointer + "/standard_errors/" + std::to_string(i)));
  for (int i = 0; i < count; ++i) {
    const std::string row = pointer + "/correlations/" + std::to_string(i);
    if (r.size(row) != count) r.bad(row, holds + " numbers");
    for (int j = 0; j < count; ++j) {
      const double rho = i == j ? 1.0 : finite_or_0(r.number_or_nan(row + "/" + std::to_string(j)));
      run.covariance[static_cast<std::size_t>(i * model::marginal::kMaxOuter + j)] =
          se[static_cast<std::size_t>(i)] * rho * se[static_cast<std::size_t>(j)];
    }
  }
  run.uncertain = count;
}

void read_random_locals(const common::ResultsReader& r, RunResults& run) {
  run.random_locals = true;
  run.nodes_per_local = static_cast<int>(r.integer("/nodes_per_local"));
  if (run.nodes_per_local < 1 || run.nodes_per_local > model::marginal::kMaxNodesPerLocal)
    r.bad("/nodes_per_local", "should be 1 to " + std::to_string(model::marginal::kMaxNodesPerLocal));
  if (run.nl > model::marginal::kMaxMarginalLocals)
    r.bad("/model/locals", "should name at most " + std::to_string(model::marginal::kMaxMarginalLocals) + " locals");
  run.outer = model::marginal::outer_count(run.ng, run.nl);
  r.numbers("/outer/estimates", run.outer, run.phi);
  for (int l = 0; l < run.nl; ++l)
    run.local_averages[static_cast<std::size_t>(l)] = run.phi[static_cast<std::size_t>(run.ng + l)];
  read_covariance(r, "/outer", run.outer, run);
}

}  // namespace

RunResults read_run_results(const std::string& path) {
  const common::ResultsReader r(path);
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
  run.plots = r.integer("/plots");
  run.measurements = r.integer("/measurements");
  if (run.plots < 1) r.bad("/plots", "should be at least 1");
  if (r.optional_text("/locals") == "random") {
    read_random_locals(r, run);
  } else {
    r.numbers("/local_averages/estimates", run.nl, run.local_averages);
    run.data_fingerprint = r.fingerprint("/fingerprints/data");
    run.locals_fingerprint = r.fingerprint("/fingerprints/locals");
    if (r.has("/globals/correlations")) read_covariance(r, "/globals", run.ng, run);
  }
  run.data_file = r.optional_text("/files/data");
  run.locals_file = r.optional_text("/files/locals");
  if (r.has("/data_scales")) {
    run.data_scales = model::Scales{r.positive("/data_scales/age_scale"), r.positive("/data_scales/height_scale")};
    run.metadata_file = r.optional_text("/data_scales/metadata");
  }
  return run;
}

}  // namespace projector
