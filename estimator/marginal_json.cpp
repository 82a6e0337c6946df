#include "estimator/marginal_json.hpp"

#include <cmath>
#include <nlohmann/json.hpp>

#include "estimator/json_values.hpp"
#include "estimator/marginal_names.hpp"
#include "estimator/raw_json.hpp"
#include "io/command_line.hpp"
#include "model/model_table.hpp"

namespace estimator {
namespace {

using namespace json_values;

Json correlations_of(const MarginalEstimates& e) {
  Json a = Json::array();
  for (int i = 0; i < e.outer; ++i)
    a.push_back(vector_of(e.correlations.data() + i * model::marginal::kMaxOuter, e.outer));
  return a;
}

}  // namespace

void write_marginal_json(io::TextWriter& out, const MarginalRun& run, const RunFiles& files,
                         const MarginalEstimates& e, const common::DataMetadata* metadata) {
  const int npop = e.outer - e.ng;
  Json boundary = Json::array();
  for (int l = 0; l < e.nl; ++l) boundary.push_back(run.fit.boundary[static_cast<std::size_t>(l)]);
  Json j;
  j["program"] = "estimator";
  j["version"] = io::version();
  j["title"] = trimmed(run.title);
  j["locals"] = "random";
  j["nodes_per_local"] = run.nodes_per_local;
  j["model"] = {{"number", run.model},
                {"constants", {number(run.constants[0]), number(run.constants[1])}},
                {"globals", names_of(run.model, true)},
                {"locals", names_of(run.model, false)}};
  j["outcome"] = marginal_outcome_text(run.fit.outcome);
  j["iterations"] = run.fit.iterations;
  j["dmax"] = number(run.fit.last.dmax);
  j["gmax"] = number(run.fit.last.gmax);
  j["plots"] = e.plots;
  j["measurements"] = e.measurements;
  j["objective"] = number(e.objective);
  j["marginal_log_likelihood"] = number(-0.5 * e.objective);
  j["parameters"] = e.outer;
  j["aic"] = number(e.objective + 2.0 * e.outer);
  j["bic"] = number(e.objective + e.outer * std::log(static_cast<double>(e.measurements)));
  j["hessian_positive_definite"] = e.hessian_positive;
  j["globals"] = {{"names", names_of(run.model, true)},
                  {"estimates", vector_of(e.phi.data(), e.ng)},
                  {"standard_errors", vector_of(e.phi_se.data(), e.ng)}};
  j["population"] = {{"names", population_names(run.model, e.nl)},
                     {"estimates", vector_of(e.population.data(), npop)},
                     {"standard_errors", vector_of(e.population_se.data(), npop)},
                     {"boundary", boundary}};
  if (e.nl == 2) j["population"]["correlation_boundary"] = run.fit.correlation_boundary;
  j["outer"] = {{"estimates", vector_of(e.phi.data(), e.outer)},
                {"standard_errors", vector_of(e.phi_se.data(), e.outer)},
                {"correlations", correlations_of(e)}};
  j["files"] = {{"control", files.control}, {"data", files.data}, {"locals", files.locals}, {"report", files.report}};
  add_raw_units(j, metadata, files.data, run.model,
                {e.phi.data(), e.phi_se.data(), e.correlations.data(), model::marginal::kMaxOuter});
  add_raw_locals(j, metadata, "raw_population", j["population"]["names"], e.population.data(),
                 e.population_se.data());
  out.put(j.dump(2, ' ', false, Json::error_handler_t::replace));
  out.put("\n");
}

}  // namespace estimator
