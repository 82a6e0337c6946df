#include "estimator/results_json.hpp"

#include <cmath>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "estimator/json_values.hpp"
#include "estimator/raw_json.hpp"
#include "io/command_line.hpp"
#include "model/model_table.hpp"

namespace estimator {
namespace {

using namespace json_values;

Json local_summary(const LocalSummary& s, int model, int nl, int ng) {
  Json j;
  j["names"] = names_of(model, false);
  j["estimates"] = vector_of(s.averages.data(), nl);
  j["standard_errors"] = vector_of(s.standard_errors.data(), nl);
  j["correlations"] = matrix_of(s.correlations.data(), nl, nl, common::kMaxLocals);
  j["correlations_with_globals"] = matrix_of(s.with_globals.data(), nl, ng, common::kMaxGlobals);
  return j;
}

// The outcomes of a run that reaches the results; the others end it before.
const char* outcome_text(NewtonOutcome o) {
  switch (o) {
    case NewtonOutcome::converged:
      return "converged";
    case NewtonOutcome::iteration_limit_exceeded:
      return "iteration limit exceeded";
    case NewtonOutcome::not_positive_definite:
      return "not positive definite";
    case NewtonOutcome::start_not_finite:
    case NewtonOutcome::step_vanished:
      break;
  }
  throw std::logic_error("no results are written after a failed run");
}

}  // namespace

void write_results_json(io::TextWriter& out, const RunResults& run) {
  const common::ControlFile& c = run.control;
  const ReportSummary& s = run.summary;
  const long long parameters = c.ng + static_cast<long long>(c.nl) * c.np;
  Json j;
  j["program"] = "estimator";
  j["version"] = io::version();
  j["title"] = trimmed(c.title);
  j["model"] = {{"number", c.model},
                {"constants", {number(c.k1), number(c.k2)}},
                {"globals", names_of(c.model, true)},
                {"locals", names_of(c.model, false)}};
  j["outcome"] = outcome_text(run.fit.outcome);
  j["iterations"] = run.fit.iterations;
  j["iteration_limit"] = c.itlim;
  j["tolerance"] = number(c.tol);
  j["dmax"] = number(run.fit.last.dmax);
  j["gmax"] = number(run.fit.last.gmax);
  j["npd"] = run.fit.npd;
  j["plots"] = s.plots;
  j["measurements"] = s.measurements;
  j["objective"] = number(s.objective);
  j["log_likelihood"] = number(s.log_likelihood);
  j["parameters"] = parameters;
  j["aic"] = number(s.objective + 2.0 * static_cast<double>(parameters));
  j["bic"] = number(s.objective + static_cast<double>(parameters) * std::log(static_cast<double>(s.measurements)));
  j["globals"] = {{"names", names_of(c.model, true)},
                  {"estimates", vector_of(run.globals.data(), c.ng)},
                  {"standard_errors", vector_of(s.global_standard_errors.data(), c.ng)},
                  {"correlations", matrix_of(s.global_correlations.data(), c.ng, c.ng, common::kMaxGlobals)}};
  j["local_averages"] = local_summary(s.averages, c.model, c.nl, c.ng);
  j["absolute_local_averages"] = local_summary(s.absolute, c.model, c.nl, c.ng);
  j["files"] = {{"control", run.files.control},
                {"data", run.files.data},
                {"locals", run.files.locals},
                {"report", run.files.report}};
  j["fingerprints"] = {{"data", s.data_fingerprint}, {"locals", s.locals_fingerprint}};
  add_raw_units(j, run.metadata, run.files.data, c.model,
                {run.globals.data(), s.global_standard_errors.data(), s.global_correlations.data(), common::kMaxGlobals});
  add_raw_locals(j, run.metadata, "raw_local_averages", j["local_averages"]["names"], s.averages.averages.data(),
                 s.averages.standard_errors.data());
  add_raw_locals(j, run.metadata, "raw_absolute_local_averages", j["local_averages"]["names"],
                 s.absolute.averages.data(), s.absolute.standard_errors.data());
  out.put(j.dump(2, ' ', false, Json::error_handler_t::replace));
  out.put("\n");
}

}  // namespace estimator
