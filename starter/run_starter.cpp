#include "starter/run_starter.hpp"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "common/control_file_writer.hpp"
#include "io/csv_writer.hpp"
#include "io/output_paths.hpp"
#include "io/text_writer.hpp"
#include "model/model_table.hpp"
#include "starter/command_line.hpp"
#include "starter/control_writer.hpp"
#include "starter/deviations.hpp"
#include "starter/identifiability.hpp"
#include "starter/locals_pass.hpp"
#include "starter/plot_scan.hpp"
#include "starter/population_fit.hpp"
#include "starter/pooled_curve.hpp"
#include "starter/progress.hpp"
#include "starter/quiet_solver.hpp"
#include "starter/refusal.hpp"
#include "starter/sample_fit.hpp"
#include "starter/start_point.hpp"
#include "starter/tolerance.hpp"

namespace starter {
namespace {

constexpr double kSmallestDeviationShare = 1e-3;  // of the process and error deviations together
// estimator --random-locals ends when the largest component of its outer
// step is at most the tolerance: one value serves every size of problem.
constexpr double kRandomLocalsTolerance = 1e-6;

std::string names_of(const ModelRoles& roles, const model::Globals* values) {
  const model::ModelNames& names = model::model_names(roles.model);
  std::string text;
  for (int i = 0; i < roles.ng; ++i) {
    text += (i > 0 ? ", " : "") + std::string(names.globals[static_cast<std::size_t>(i)]);
    if (values != nullptr) text += " = " + common::control_number((*values)[static_cast<std::size_t>(i)]);
  }
  return text;
}

// "Model 16 self-start: locals b / globals a_intercept a_slope c sigma_p sigma_e"
// (at most 80 characters for every model).
std::string default_title(const ModelRoles& roles) {
  const model::ModelNames& names = model::model_names(roles.model);
  std::string title = "Model " + std::to_string(roles.model) + " self-start: locals";
  for (int l = 0; l < roles.nl; ++l) title += " " + std::string(names.locals[static_cast<std::size_t>(l)]);
  title += " / globals";
  for (int i = 0; i < roles.ng; ++i) title += " " + std::string(names.globals[static_cast<std::size_t>(i)]);
  return title;
}

// The curve's shape, then the deviations from its residuals.
model::Globals first_globals(const DataSummary& data, const ModelRoles& roles, const model::Esde& esde,
                             CurveShape& shape) {
  shape = fit_pooled_curve(data.sample, roles, esde);
  if (!(std::isfinite(shape.a) && shape.a > 0.0 && std::isfinite(shape.b) && shape.b > 0.0 && std::isfinite(shape.c)))
    refuse("cannot fit model " + std::to_string(roles.model) +
           "'s growth curve to the plots: no rate and power "
           "give a finite fit (are the heights growing with age?)");
  CurveStart start{shape.a, shape.b, shape.c, 0.0, 0.0, 0.0, shape.t0, shape.y0};
  model::Globals globals = globals_from(roles, start);
  const Deviations d = estimate_deviations(data.sample, roles, esde, globals, shape.b);
  set_deviations(roles, d.sigma0, d.sigma_p, d.sigma_e, globals);
  return globals;
}

// Deviations enter as squares: their sign is dropped, and none starts at 0,
// where the objective is stationary in it.
void settle_deviations(const ModelRoles& roles, model::Globals& globals) {
  const auto value = [&](Role role) {
    const int i = roles.global_index(role);
    return i >= 0 ? std::fabs(globals[static_cast<std::size_t>(i)]) : 0.0;
  };
  const double floor = kSmallestDeviationShare * (value(Role::sigma_p) + value(Role::sigma_e));
  set_deviations(roles, std::max(value(Role::sigma0), floor), std::max(value(Role::sigma_p), floor),
                 std::max(value(Role::sigma_e), floor), globals);
}

double choose_tolerance(const StarterCall& call, const DataSummary& data, const ProfilePoint& at_start) {
  if (call.tolerance) return *call.tolerance;
  const double share = static_cast<double>(data.plots) / static_cast<double>(data.sample.size());
  ToleranceInputs in;
  in.plots = data.plots;
  in.objective_magnitude = at_start.magnitude * share;
  for (int i = 0; i < at_start.hessian.rows(); ++i)
    in.largest_curvature = std::max(in.largest_curvature, at_start.hessian(i, i) * share);
  return meetable_tolerance(in);
}

// Every plot's locals computed; refused when some plot's rate runs away
// (its locals could not converge, and hold up every other parameter in the
// estimator), with the list of those plots beside the control file's name;
// otherwise written into the records.
LocalsPassResult start_every_plot(PlotFiles& files, const ProfileSettings& settings, const model::Globals& globals,
                                  const std::string& control, const PopulationFit* population) {
  const Spill spill = open_spill();
  const std::string list = control + ".runaway.csv";
  io::TextWriter out(list, "list of runaway plots");
  const model::ModelNames& names = model::model_names(settings.roles.model);
  std::vector<std::string> header = {"position", "id"};
  for (int l = 0; l < settings.roles.nl; ++l) header.emplace_back(names.locals[static_cast<std::size_t>(l)]);
  io::CsvWriter runaways(out, header);
  const LocalsPassResult result = compute_start_locals(files, settings, globals, spill.get(), runaways);
  if (result.runaway > 0) {
    out.commit();
    refuse("model " + std::to_string(settings.roles.model) + " cannot be started from these data: the best rate of " +
           std::to_string(result.runaway) + (result.runaway == 1 ? " plot" : " plots") +
           " lies beyond 4^15 (about 1e9) times the typical rate " + short_number(settings.rate_reference) +
           " or below that share of it, the first " + plot_name(result.first_runaway, result.first_runaway_id) +
           ": such a plot never approaches an asymptote (or reached it before it was measured), its locals run away "
           "and hold up the whole fit. The plots are listed in " +
           list + "; drop them, or choose a model whose locals they can fix (a local asymptote: models 1 to 5, 14)");
  }
  if (result.extreme > 0)
    std::fprintf(stderr,
                 "starter: warning: the best rate of %lld %s lies beyond 1024 times the typical rate %s or below a "
                 "1024th of it, though inside the range searched, the first %s; the estimator starts %s from there\n",
                 static_cast<long long>(result.extreme), result.extreme == 1 ? "plot" : "plots",
                 short_number(settings.rate_reference).c_str(),
                 plot_name(result.first_extreme, result.first_extreme_id).c_str(), result.extreme == 1 ? "it" : "them");
  if (population == nullptr) {
    write_start_locals(files, spill.get(), settings.roles.nl);
    return result;
  }
  const LocalsSpread spread = spread_to_population(spill_moments(spill.get(), files.plots(), settings.roles.nl),
                                                   population->phi, settings.roles.ng);
  write_start_locals(files, spill.get(), settings.roles.nl, &spread);
  return result;
}

void print_summary(const StarterCall& call, const DataSummary& data, const SampleFit& fit,
                   const model::Globals& globals, double objective, double tolerance) {
  std::printf("model %d: %lld plots, %lld measurements; globals fitted on %zu plots in %d BFGS iterations\n",
              call.model, static_cast<long long>(data.plots), static_cast<long long>(data.measurements),
              data.sample.size(), fit.iterations);
  std::printf("starting globals: %s\n", names_of(model_roles(call.model), &globals).c_str());
  std::printf("objective at the start: %s (log-likelihood %s); tolerance %s\n",
              common::control_number(objective).c_str(), common::control_number(-0.5 * objective).c_str(),
              common::control_number(tolerance).c_str());
  std::printf("wrote %s and the starting locals into %s\n", call.control.c_str(), call.locals.c_str());
}

// "population (random locals), fitted on 2000 plots in 31 BFGS iterations: mean_a = 3, sd_a = 0.4"
void print_population(const ModelRoles& roles, const PopulationFit& fit, std::size_t plots) {
  const model::ModelNames& names = model::model_names(roles.model);
  std::string text;
  for (int l = 0; l < roles.nl; ++l) {
    const std::string local(names.locals[static_cast<std::size_t>(l)]);
    text += (l > 0 ? ", " : "") + ("mean_" + local) + " = " +
            common::control_number(fit.phi[static_cast<std::size_t>(roles.ng + l)]);
  }
  for (int l = 0; l < roles.nl; ++l)
    text += ", sd_" + std::string(names.locals[static_cast<std::size_t>(l)]) + " = " +
            common::control_number(std::exp(fit.phi[static_cast<std::size_t>(roles.ng + roles.nl + l)]));
  if (roles.nl == 2)
    text += ", correlation = " + common::control_number(std::tanh(fit.phi[static_cast<std::size_t>(roles.ng + 4)]));
  std::printf("population (random locals), fitted on %zu plots in %d BFGS iterations: %s\n", plots, fit.iterations,
              text.c_str());
  std::printf("marginal objective of the sample: %s\n", common::control_number(fit.objective).c_str());
}

}  // namespace

int run_starter(int argc, char** argv) {
  const StarterCall call = read_command_line(argc, argv);
  silence_solver_logging();
  const io::NamedPath inputs[] = {{call.data, "data file"}, {call.locals, "local-parameter file"}};
  const io::NamedPath outputs[] = {{call.control, "control file"},
                                   {call.control + ".runaway.csv", "list of runaway plots"}};
  io::check_outputs(inputs, outputs);
  const ModelRoles roles = model_roles(call.model);
  const model::Esde esde{.k1 = call.k1, .k2 = call.k2, .model = call.model};
  PlotFiles files(call.data, call.locals);
  const DataSummary data = scan_plots(files, roles, call.sample);

  if (Progress::reports(data.plots))
    std::fprintf(stderr, "starter: fitting the globals on %zu plots\n", data.sample.size());
  CurveShape shape;
  const model::Globals first = first_globals(data, roles, esde, shape);
  const ProfileSettings settings{roles, esde, shape.b};
  const SampleFit fit = fit_sample_from_splits(data.sample, settings, first);
  if (!fit.usable)
    refuse("model " + std::to_string(roles.model) +
           ": the likelihood of the sample is not finite at the first "
           "estimates (" +
           names_of(roles, &first) + ")");
  model::Globals globals = fit.globals;
  settle_deviations(roles, globals);
  const ProfilePoint at_start = evaluate_profile(data.sample, settings, globals, true);
  check_identified(at_start, roles);
  check_deviations(data.sample, roles, globals);

  PopulationFit population;
  if (call.random_locals) {
    if (Progress::reports(data.plots))
      std::fprintf(stderr, "starter: fitting the globals and the population of the locals on %zu plots\n",
                   data.sample.size());
    population = fit_population(data.sample, settings, globals);
    if (!population.usable)
      refuse("model " + std::to_string(roles.model) + " with random locals: plot " +
             std::to_string(population.failed_plot) +
             " has no usable mode of its locals at the fixed-locals starting values (" + names_of(roles, &globals) +
             ")");
    for (int i = 0; i < roles.ng; ++i) globals[static_cast<std::size_t>(i)] = population.phi[static_cast<std::size_t>(i)];
  }
  const LocalsPassResult locals =
      start_every_plot(files, settings, globals, call.control, call.random_locals ? &population : nullptr);
  common::ControlFile control;
  control.title = call.title.empty() ? default_title(roles) : call.title;
  const model::ModelCounts counts = model::model_counts(call.model);
  control.ng = counts.ng;
  control.nl = counts.nl;
  control.np = static_cast<int>(data.plots);
  control.model = call.model;
  control.k1 = call.k1;
  control.k2 = call.k2;
  control.mfreq = call.mfreq;
  control.itlim = call.iteration_limit;
  control.tol = call.random_locals ? call.tolerance.value_or(kRandomLocalsTolerance) : choose_tolerance(call, data, at_start);
  control.globals = globals;
  write_control_file(call.control, control);

  print_summary(call, data, fit, globals, locals.objective, control.tol);
  if (call.random_locals) print_population(roles, population, data.sample.size());
  return 0;
}

}  // namespace starter
