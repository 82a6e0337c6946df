#include "comparer/command_line.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "common/data_metadata.hpp"
#include "io/command_line.hpp"
#include "io/errors.hpp"
#include "io/option_values.hpp"
#include "model/catalogue.hpp"

namespace comparer {
namespace {

const io::ProgramInterface& program_interface() {
  static const io::ProgramInterface interface {
    "comparer", "comparer DATA LOCALS OUTDIR [--models LIST] [--k1 X --k2 X] [--iteration-limit N] [--jobs N]",
        R"(usage: comparer DATA LOCALS OUTDIR [--models LIST] [--k1 X --k2 X] [options]

Fits a list of models to the same data, each from the starter's starting values,
and compares them. Every model runs in its own folder OUTDIR/model-NN: a copy of
LOCALS, the starter's control file, and the estimator's report, results.json,
plots.csv and console trace. Prints the comparison table sorted by AIC and writes
it as OUTDIR/comparison.csv, with the columns
  model, globals, locals, log_likelihood, parameters, aic, bic, outcome,
  iterations, seconds, flag
The flag tells of a deviation that ended at 0 (a boundary optimum), of plots
whose locals ran away (an unbounded optimum), or why a model could not be
started (the data do not identify it). The files of every model are the same
whatever the number of jobs; only the seconds change. While the models run, the
error stream tells which models are running and, after each, how many are done
and an estimate of the time left.

Arguments:
  DATA                 data file written by preparer (only read)
  LOCALS               local-parameter file written by preparer (only read; each
                       model works on a copy)
  OUTDIR               folder of the results (made if absent; the folders of the
                       models compared are replaced)

Options:
  --models LIST        models to fit: numbers and ranges such as 1,4,13-18, or
                       all (default: all)
  --k1 X, --k2 X       the two model constants, needed for models 14 to 18: the age
                       and height scales given to preparer (default: those scales,
                       from the preparer's DATA.meta.json beside DATA)
  --iteration-limit N  iteration limit of every fit (default 100)
  --jobs N             models fitted at the same time (default: one per core);
                       each fit uses the cores left over
  -h, --help           show this help and exit
  --version            show the version and exit

The programs starter and estimator are taken from the folder of comparer, or
else from the PATH.

Exit status:
  0  the comparison is made (whatever the outcome of each model)
  1  no model could be started
  2  a wrong call or an input/output failure, on the error stream
)",
        {"data file", "local-parameter file", "results folder"}, 3, {
      {"--models"}, {"--k1"}, {"--k2"}, {"--iteration-limit"}, { "--jobs" }
    }
  };
  return interface;
}

// The models with a fixed start as runs of numbers: "14 to 18".
std::string fixed_start_models() {
  std::string text;
  for (int m = 1; m <= model::kModelCount; ++m) {
    if (!model::fixed_start(m) || (m > 1 && model::fixed_start(m - 1))) continue;
    int last = m;
    while (last < model::kModelCount && model::fixed_start(last + 1)) ++last;
    text += (text.empty() ? "" : ", ") + std::to_string(m) + (last > m ? " to " + std::to_string(last) : "");
  }
  return text;
}

}  // namespace

std::vector<int> parse_model_list(const std::string& text) {
  std::vector<int> models;
  if (text == "all") {
    for (int m = 1; m <= model::kModelCount; ++m) models.push_back(m);
    return models;
  }
  std::stringstream items(text);
  for (std::string item; std::getline(items, item, ',');) {
    const auto dash = item.find('-', 1);
    int first = 0, last = 0;
    const std::optional<int> from = io::whole_integer(item.substr(0, dash));
    const std::optional<int> to = dash == std::string::npos ? from : io::whole_integer(item.substr(dash + 1));
    if (!from || !to) return {};
    first = *from;
    last = *to;
    if (!model::valid_model(first) || !model::valid_model(last) || last < first) return {};
    for (int m = first; m <= last; ++m) models.push_back(m);
  }
  std::sort(models.begin(), models.end());
  models.erase(std::unique(models.begin(), models.end()), models.end());
  return models;
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
    line.wrong_call("--models takes model numbers 1 to " + std::to_string(model::kModelCount) +
                    " and ranges such as 1,4,13-18, or all; not " + io::quoted(list));
  const std::optional<common::DataMetadata> metadata = common::read_data_metadata(call.data);
  if (std::ranges::any_of(call.models, model::fixed_start) && !metadata &&
      (!line.option("--k1") || !line.option("--k2")))
    line.wrong_call("models " + fixed_start_models() +
                    " fix the start of the curve through the two model constants: give --k1 and "
                    "--k2 (the age and height scales given to the preparer), or leave those models out with --models");
  call.k1 = io::positive_option(line, "--k1", metadata ? metadata->age_scale : 1.0);
  call.k2 = io::positive_option(line, "--k2", metadata ? metadata->height_scale : 1.0);
  call.iteration_limit = io::integer_option(line, "--iteration-limit", 100, 0);
  call.jobs = io::integer_option(line, "--jobs", 0, 1);
  return call;
}

}  // namespace comparer
