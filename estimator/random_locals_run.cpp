#include "estimator/random_locals_run.hpp"

#include <memory>
#include <stdexcept>
#include <string>

#include "common/fingerprint.hpp"
#include "estimator/marginal_json.hpp"
#include "estimator/raw_json.hpp"
#include "estimator/marginal_plot_table.hpp"
#include "estimator/marginal_trace.hpp"
#include "estimator/population_start.hpp"
#include "io/errors.hpp"

namespace estimator {
namespace {

using model::marginal::PlotStatus;

std::string failure_text(PlotStatus status) {
  switch (status) {
    case PlotStatus::flat:
      return "the integrand over its locals is flat (no usable peak)";
    case PlotStatus::unbounded:
      return "the integrand over its locals is unbounded";
    case PlotStatus::not_finite:
    case PlotStatus::ok:
      break;
  }
  return "the plot objective is not finite there (the curve leaves the model's range)";
}

[[noreturn]] void stop_on_plot(const FailedPlot& p) {
  io::stop_with_diagnostic("random locals: the mode of the locals of plot " + std::to_string(p.iplot) + " (ID " +
                           std::to_string(p.id) + ") cannot be found: " + failure_text(p.status) +
                           ". The local-parameter file holds the modes of the last pass; check that plot's "
                           "measurements and the starting values, or fit with fixed locals");
}

void stop_on_failure(const MarginalSummary& fit) {
  if (fit.outcome == MarginalOutcome::plot_failed) stop_on_plot(fit.failed);
  if (fit.outcome == MarginalOutcome::step_vanished)
    io::stop_with_diagnostic(
        "random locals: the step length fell to 0 without lowering the marginal objective "
        "after iteration " +
        std::to_string(fit.iterations - 1) +
        ". The local-parameter file holds the modes of the last accepted point; try other "
        "starting values or another model");
}

std::unique_ptr<model::marginal::QuadratureRule> make_rule(int k, int nl) {
  try {
    return std::make_unique<model::marginal::QuadratureRule>(model::marginal::quadrature_rule(k, nl));
  } catch (const std::invalid_argument& e) {
    io::stop_with_diagnostic(std::string("random locals: ") + e.what());
  }
}

}  // namespace

void run_random_locals(const RandomLocalsCall& call) {
  const common::ControlFile& c = call.control;
  if (c.nl > model::marginal::kMaxMarginalLocals)
    io::stop_with_diagnostic("random locals: model " + std::to_string(c.model) + " has " + std::to_string(c.nl) +
                             " locals; random locals take at most 2");
  const auto rule = make_rule(call.nodes_per_local, c.nl);
  const Sizes sizes = make_sizes(c.ng, c.nl, c.np);
  const model::Esde esde{c.k1, c.k2, c.model};
  const MarginalProblem problem{sizes, esde, *rule, model::marginal::outer_count(c.ng, c.nl)};
  PassPipeline pipeline(call.files, sizes, call.threads);

  model::marginal::Outer phi = population_start(pipeline, sizes, c.globals);
  ConsoleMarginalTrace trace(io::console());
  const MarginalSummary fit = random_locals_fit(pipeline, problem, {c.itlim, c.tol}, phi, trace);
  stop_on_failure(fit);
  if (fit.hessian_failed.iplot != 0) stop_on_plot(fit.hessian_failed);

  MarginalEstimates e = marginal_estimates(problem, phi, fit.hessian);
  e.objective = fit.last.objective;
  e.plots = c.np;
  const MarginalRun run{c.title, c.model, call.nodes_per_local, fit, {c.k1, c.k2}};
  write_marginal_head(call.report, run, e);
  write_marginal_plot_heading(call.report);
  std::optional<MarginalPlotTable> table;
  if (call.plots) table.emplace(*call.plots, c.model, c.nl);
  common::Fingerprint data_print;
  const MarginalTotals last = marginal_pass(pipeline, problem, phi, false, true, [&](int iplot, const PlotSlot& s) {
    e.measurements += s.data.n;
    data_print.add_plot(s.data.id, s.data.n, s.data.ages.data(), s.data.heights.data());
    write_marginal_plot(call.report, c.nl, s);
    if (table) table->row(iplot, s);
  });
  if (last.failed.iplot != 0) stop_on_plot(last.failed);
  call.report.commit();
  if (call.plots) call.plots->commit();
  if (call.json) {
    write_marginal_json(*call.json, run, call.names, e, describing(call.metadata, call.names.data, data_print.hex()));
    call.json->commit();
  }
}

}  // namespace estimator
