#include "estimator/run_control.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "common/control_file_reader.hpp"
#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "estimator/newton.hpp"
#include "estimator/plot_files.hpp"
#include "estimator/plot_table.hpp"
#include "estimator/progress_display.hpp"
#include "estimator/random_locals_run.hpp"
#include "estimator/raw_json.hpp"
#include "estimator/report.hpp"
#include "estimator/results_json.hpp"
#include "estimator/trace.hpp"
#include "io/command_line.hpp"
#include "io/errors.hpp"
#include "io/format.hpp"
#include "io/option_values.hpp"
#include "io/output_paths.hpp"
#include "model/marginal/quadrature_rule.hpp"
#include "model/model_table.hpp"
#include "model/quadrature_option.hpp"

namespace estimator {
namespace {

constexpr int kMaxThreads = 256;

const io::ProgramInterface& program_interface() {
  static const io::ProgramInterface interface {
    .program = "estimator",
    .input = "",
    .description = R"(Fits a stochastic height-growth model to the plots of DATA by maximum likelihood:
a full Newton method over the global parameters and every plot's local
parameters, streaming the plots. Prints a monitoring trace on standard output,
rewrites the local-parameter file in place and writes the report.)",
    .arguments = {{"CONTROL", "control file",
                   "control file (text): title; NG NL NP, four unit numbers, monitoring\n"
                   "frequency, iteration limit, tolerance, NG starting globals; model\n"
                   "number and the two model constants"},
                  {"DATA", "data file", "data file written by preparer (read only)"},
                  {"LOCALS", "local-parameter file",
                   "local-parameter file written by preparer or by an earlier run\n"
                   "(read and rewritten in place)"},
                  {"REPORT", "report file", "report file to write (replaced only when complete)"}},
    .required = 4,
    .option_groups = {{"Options",
                       {{"--json", "FILE", "also write the results as JSON (see docs/results-files.md)"},
                        {"--plots", "FILE",
                         "also write one CSV row per plot: position, id, measurements,\n"
                         "objective, each local and its standard error"},
                        {"--threads", "N",
                         "evaluate the plots on N threads (default: ESTIMATOR_THREADS, or\n"
                         "every core); the output is the same for any N"},
                        {"--random-locals", "",
                         "fit the locals as random: each plot's locals drawn from a Normal\n"
                         "population whose means and standard deviations (and correlation)\n"
                         "are fitted with the globals by maximum marginal likelihood; the\n"
                         "starting population is the mean and covariance of the locals in\n"
                         "LOCALS (a fixed-locals run's estimates); see docs/random-locals.md"},
                        {"--quadrature", "K",
                         "adaptive Gauss-Hermite quadrature with K nodes per local (1 to " +
                             std::to_string(model::marginal::kMaxNodesPerLocal) +
                             ";\ndefault 1, the Laplace approximation); only with --random-locals",
                         false, "--random-locals"}}}},
    .epilogue = R"(Environment:
  ESTIMATOR_THREADS   number of threads when --threads is not given
  ESTIMATOR_PROGRESS_AFTER
                      when the error stream is a terminal, a line there shows the
                      iteration and pass once the run has taken this many seconds
                      (default 2); the trace on standard output is not changed

Exit status:
  0  normal end, including a report that says the iteration limit was exceeded
     or a Hessian was not positive definite
  1  an error the program detected and reported on standard output
  2  a wrong call or an input/output failure (missing file, unreadable number,
     damaged binary file), reported on the error stream
)",
    .column = 15,
  };
  return interface;
}

void check_sizes(const common::ControlFile& c, const std::string& control_name) {
  if (c.ng > common::kMaxGlobals) io::stop_with("*** Error, more than 10 globals ***");
  if (c.nl > common::kMaxLocals) io::stop_with("*** Error, more than 6 locals ***");
  const auto at_least_one = [&control_name](int value, const char* name, const char* what) {
    if (value < 1)
      io::stop_with_diagnostic(std::string(name) + " = " + std::to_string(value) + " in control file " + control_name +
                               ": at least 1 " + what + " is needed");
  };
  at_least_one(c.ng, "NG", "global");
  at_least_one(c.nl, "NL", "local");
  at_least_one(c.np, "NP", "plot");
}

void check_model_counts(const common::ControlFile& c, const std::string& control_name) {
  if (!model::valid_model(c.model)) return;  // refused after the header (refuse_invalid_model)
  const model::ModelCounts counts = model::model_counts(c.model);
  if (counts.ng != c.ng || counts.nl != c.nl)
    io::stop_with_diagnostic("model " + std::to_string(c.model) + " takes " + std::to_string(counts.ng) +
                             " globals and " + std::to_string(counts.nl) + (counts.nl == 1 ? " local" : " locals") +
                             ", but control file " + control_name + " gives NG = " + std::to_string(c.ng) +
                             " and NL = " + std::to_string(c.nl));
}

void write_header(const common::ControlFile& c) {
  static const io::Format header(
      "(1H1,20A4,/,/,19H GLOBAL PARAMETERS:,I2,/,18H LOCAL PARAMETERS:,I2,/,17H NUMBER OF PLOTS:,I4,/,"
      "22H MONITORING FREQUENCY:,I3,/,17H ITERATION LIMIT:,I3,/,11H TOLERANCE:,G9.1,/,/,20X,14HMONITOR OUTPUT)");
  io::Items items;
  items.chunks(c.title, 4).i(c.ng).i(c.nl).i(c.np).i(c.mfreq).i(c.itlim).r(c.tol);
  io::console().write(header, items);
}

// An invalid model number is refused where the optimiser would first use it:
// after the run header and the first trial header, once the first plot's
// record has been read.
[[noreturn]] void refuse_invalid_model(const Files& files, const Sizes& sizes) {
  write_trial_header(io::console(), 0.0);
  model::Locals locals{};
  WorkBlock work{};
  LocalFactor lfactor{};
  get(files, sizes, 1, locals, work, lfactor);
  io::stop_with(" Model number error! ");
}

void write_outcome(io::TextWriter& out, NewtonOutcome outcome) {
  if (outcome == NewtonOutcome::iteration_limit_exceeded) {
    static const io::Format f("(49H0ITERATION LIMIT EXCEEDED. IGNORE STANDARD ERRORS,23H AND CORRELATIONS BELOW)");
    out.write(f);
  } else if (outcome == NewtonOutcome::not_positive_definite) {
    static const io::Format f(
        "(53H0HESSIAN MATRIX NOT POSITIVE-DEFINITE. SADDLE POINT? ,/,46H IGNORE STANDARD ERRORS AND CORRELATIONS "
        "BELOW)");
    out.write(f);
  } else {
    static const io::Format f("(10H0CONVERGED)");
    out.write(f);
  }
}

// Threads from --threads, else ESTIMATOR_THREADS, else every core.
int thread_count(const io::CommandLine& command) {
  const auto parse = [&command](const std::string& text, const std::string& where) {
    const std::optional<int> n = io::whole_integer(text);
    if (!n || *n < 1 || *n > kMaxThreads)
      command.wrong_call(where + " must be a number of threads from 1 to " + std::to_string(kMaxThreads) + ", not " +
                         io::quoted(text));
    return *n;
  };
  if (const auto option = command.option("--threads")) return parse(*option, "--threads");
  if (const char* text = std::getenv("ESTIMATOR_THREADS")) return parse(text, "ESTIMATOR_THREADS");
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

std::string number_text(double v) {
  if (std::isnan(v)) return "nan";  // the same on every machine, whatever its sign bit
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

// The optimiser's failures end the run with a diagnostic that says how to go on.
void stop_on_failure(const NewtonSummary& fit) {
  if (fit.outcome == NewtonOutcome::start_not_finite) {
    if (fit.bad.iplot > 0)
      io::stop_with_diagnostic("the objective at the starting values is not finite: plot " +
                               std::to_string(fit.bad.iplot) + " (ID " + std::to_string(fit.bad.id) + ") gives " +
                               number_text(fit.bad.f) +
                               ". Check the starting values of the globals and of that plot's locals");
    io::stop_with_diagnostic("the objective at the starting values is " + number_text(fit.objective) +
                             ", above 1e75. Check the starting values");
  }
  if (fit.outcome == NewtonOutcome::step_vanished)
    io::stop_with_diagnostic(
        "the step length fell to 0 without lowering the objective: the Newton step of iteration " +
        std::to_string(fit.iterations - 1) +
        " is not finite. The local-parameter file holds the locals of the last accepted "
        "point with no pending step; to go on from there, put the globals of the last iteration summary "
        "into the control file, or try other starting values or another model");
}

// Seconds before the progress line appears on a terminal: ESTIMATOR_PROGRESS_AFTER, else 2.
double progress_delay(const io::CommandLine& command) {
  const char* text = std::getenv("ESTIMATOR_PROGRESS_AFTER");
  if (text == nullptr) return 2.0;
  const std::optional<double> seconds = io::whole_number(text);
  if (!seconds || !(*seconds >= 0.0))
    command.wrong_call("ESTIMATOR_PROGRESS_AFTER must be a number of seconds, not " + io::quoted(text));
  return *seconds;
}

NewtonOptions newton_options(const common::ControlFile& control, int threads) {
  NewtonOptions options;
  options.iteration_limit = control.itlim;
  options.tolerance = control.tol;
  options.monitor_every = control.mfreq;
  options.threads = threads;
  return options;
}

common::ControlFile read_control(const std::string& path) {
  io::FreeFormReader in(path, "control file");
  common::ControlFile control;
  common::read_title_and_sizes(in, control);
  check_sizes(control, path);
  common::read_starting_globals(in, control);
  common::read_model(in, control);
  check_model_counts(control, path);
  return control;
}

// The report, and the results files that were asked for, at the estimates.
void write_results(const RunContext& run, const common::ControlFile& control, const RunFiles& names,
                   const model::Globals& globals, const GlobalFactor& hfactor, const NewtonSummary& fit,
                   io::TextWriter& report_out, std::optional<io::TextWriter>& json_out,
                   std::optional<io::TextWriter>& plots_out, const std::optional<common::DataMetadata>& metadata) {
  static const io::Format title("(1H ,20A4,/)");
  report_out.write(title, io::Items().chunks(control.title, 4));
  write_outcome(report_out, fit.outcome);
  std::optional<PlotTable> table;
  if (plots_out) table.emplace(*plots_out, control.model, control.nl);
  const ReportSummary summary =
      report(run, report_out, globals, hfactor, table ? &*table : nullptr, json_out.has_value());
  report_out.commit();
  if (plots_out) plots_out->commit();
  if (json_out) {
    write_results_json(
        *json_out, {control, names, globals, fit, summary, describing(metadata, names.data, summary.data_fingerprint)});
    json_out->commit();
  }
}

}  // namespace

int run_estimator(int argc, char** argv) {
  const io::CommandLine command(argc, argv, program_interface());
  const RunFiles names{command.file(1), command.file(2), command.file(3), command.file(4)};
  const int threads = thread_count(command);
  const int nodes = model::quadrature_option(command).value_or(1);
  const io::NamedPath inputs[] = {
      {names.control, "control file"}, {names.data, "data file"}, {names.locals, "local-parameter file"}};
  const io::NamedPath outputs[] = {{names.report, "report file"},
                                   {command.option("--json").value_or(""), "JSON results file"},
                                   {command.option("--plots").value_or(""), "plot results file"}};
  io::check_outputs(inputs, outputs);
  const common::ControlFile control = read_control(names.control);
  // Read before the fit, so that a damaged metadata file is refused before the work.
  const std::optional<common::DataMetadata> metadata =
      command.option("--json") ? common::read_data_metadata(names.data) : std::nullopt;
  const Sizes sizes = make_sizes(control.ng, control.nl, control.np);
  const model::Esde esde{control.k1, control.k2, control.model};

  io::SequentialReader data(names.data, "data file");
  io::DirectAccessFile locals = common::open_local_file(names.locals, io::DirectAccessFile::Mode::read_write_existing);
  const Files files{data, locals};
  io::TextWriter report_out(names.report, "report file");
  std::optional<io::TextWriter> json_out, plots_out;
  if (const auto path = command.option("--json")) json_out.emplace(*path, "JSON results file");
  if (const auto path = command.option("--plots")) plots_out.emplace(*path, "plot results file");

  write_header(control);
  if (!model::valid_model(control.model)) refuse_invalid_model(files, sizes);

  if (command.flag("--random-locals")) {
    run_random_locals({control, names, files, threads, nodes, report_out, json_out, plots_out, metadata});
    return 0;
  }

  model::Globals globals = control.globals;
  GlobalFactor hfactor{};
  ProgressDisplay progress(stderr, progress_delay(command));
  ConsoleTrace trace(io::console(), &progress);
  const NewtonSummary fit = newton(sizes, files, esde, newton_options(control, threads), globals, hfactor, trace);
  stop_on_failure(fit);

  const RunContext run{sizes, files, esde, threads};
  write_results(run, control, names, globals, hfactor, fit, report_out, json_out, plots_out, metadata);
  return 0;
}

}  // namespace estimator
