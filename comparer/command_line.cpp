#include "comparer/command_line.hpp"

#include <algorithm>

#include "common/data_metadata.hpp"
#include "io/command_line.hpp"
#include "io/errors.hpp"
#include "io/option_values.hpp"
#include "model/catalogue.hpp"
#include "model/marginal/quadrature_rule.hpp"
#include "model/model_numbers.hpp"
#include "model/quadrature_option.hpp"

namespace comparer {
namespace {

constexpr const char* kEpilogue = R"(The programs starter and estimator are taken from the folder of comparer, or
else from the PATH.

Exit status:
  0  the comparison is made (whatever the outcome of each model)
  1  no model could be started
  2  a wrong call or an input/output failure, on the error stream
)";

const io::ProgramInterface& program_interface() {
  static const io::ProgramInterface interface {
    .program = "comparer",
    .input = "",
    .description = R"(Fits a list of models to the same data, each from the starter's starting values,
and compares them. Every model runs in its own folder OUTDIR/model-NN: a copy of
LOCALS, the starter's control file, and the estimator's report, results.json,
plots.csv and console trace. Prints the comparison table sorted by AIC and writes
it as OUTDIR/comparison.csv, with the columns
  model, globals, locals, log_likelihood, parameters, aic, bic, outcome,
  iterations, seconds, flag
The flag tells of a deviation that ended at 0 (a boundary optimum), of plots
whose locals ran away (an unbounded optimum), or why a model could not be
started (the data do not identify it). With --random-locals every model is
fitted by estimator --random-locals from the starter's values for it (starter
--random-locals): the log-likelihood is the marginal one, the parameters
NG + NL + NL(NL+1)/2, and the
flag tells of a population deviation held at 0 or a correlation held at +-1.
The files of every model are the same whatever the number of jobs; only the
seconds change. While the models run, the error stream tells which models are
running and, after each, how many are done and an estimate of the time left.)",
    .arguments = {{"DATA", "data file", "data file written by preparer (only read)"},
                  {"LOCALS", "local-parameter file",
                   "local-parameter file written by preparer (only read; each\n"
                   "model works on a copy)"},
                  {"OUTDIR", "results folder",
                   "folder of the results (made if absent; the folders of the\n"
                   "models compared are replaced)"}},
    .required = 3,
    .option_groups = {{"Options",
                       {{"--models", "LIST",
                         "models to fit: numbers and ranges such as 1,4,13-18, or\n"
                         "all (default: all)"},
                        {"--k1", "X", ""},
                        {"--k2", "X",
                         "the two model constants, needed for models " + model::fixed_start_models() +
                             ": the age\nand height scales given to preparer (default: those scales,\n"
                             "from the preparer's DATA.meta.json beside DATA)"},
                        {"--iteration-limit", "N", "iteration limit of every fit (default 100)"},
                        {"--jobs", "N",
                         "models fitted at the same time (default: one per core);\n"
                         "each fit uses the cores left over"},
                        {"--random-locals", "",
                         "fit every model with random locals (estimator\n"
                         "--random-locals): the table compares marginal likelihoods"},
                        {"--quadrature", "K",
                         "nodes per local of the random-locals fits (1 to " +
                             std::to_string(model::marginal::kMaxNodesPerLocal) +
                             ";\ndefault 1, the Laplace approximation); only with\n--random-locals",
                         false, "--random-locals"}}}},
    .epilogue = kEpilogue,
    .column = 21,
  };
  return interface;
}

}  // namespace

std::vector<int> parse_model_list(const std::string& text) {
  if (text == "all")
    return io::integers_and_ranges("1-" + std::to_string(model::kModelCount), 1, model::kModelCount).value();
  return io::integers_and_ranges(text, 1, model::kModelCount).value_or(std::vector<int>{});
}

ComparerCall read_command_line(int argc, char** argv) {
  const io::CommandLine line(argc, argv, program_interface());
  ComparerCall call;
  call.data = line.file(1);
  call.locals = line.file(2);
  call.outdir = line.file(3);
  const std::string list = line.option("--models").value_or("all");
  call.models = parse_model_list(list);
  if (call.models.empty())
    line.wrong_call("--models takes model numbers " + model::all_models() +
                    " and ranges such as 1,4,13-18, or all; not " + io::quoted(list));
  const std::optional<common::DataMetadata> metadata =
      common::read_describing_metadata(call.data, "comparer", "its scales are not the defaults of --k1 and --k2");
  if (std::ranges::any_of(call.models, model::fixed_start) && !metadata &&
      (!line.option("--k1") || !line.option("--k2")))
    line.wrong_call("models " + model::fixed_start_models() +
                    " fix the start of the curve through the two model constants: give --k1 and "
                    "--k2 (the age and height scales given to the preparer), or leave those models out with --models");
  call.k1 = io::positive_option(line, "--k1", metadata ? metadata->age_scale : 1.0);
  call.k2 = io::positive_option(line, "--k2", metadata ? metadata->height_scale : 1.0);
  call.iteration_limit = io::integer_option(line, "--iteration-limit", 100, 0);
  call.jobs = io::integer_option(line, "--jobs", 0, 1);
  call.random_locals = line.flag("--random-locals");
  call.quadrature = model::quadrature_option(line).value_or(0);
  return call;
}

}  // namespace comparer
