#include "starter/command_line.hpp"

#include <cmath>

#include "common/data_metadata.hpp"
#include "io/command_line.hpp"
#include "io/errors.hpp"
#include "io/option_values.hpp"
#include "model/catalogue.hpp"
#include "model/model_numbers.hpp"
#include "starter/refusal.hpp"

namespace starter {
namespace {

const io::ProgramInterface& program_interface() {
  static const io::ProgramInterface interface {
    .program = "starter",
    .input = "",
    .description = R"(Proposes starting values for an estimator run from the data: the globals of
model M and every plot's locals. Writes the estimator's control file CONTROL
(title, counts, number of plots, monitoring frequency, iteration limit,
tolerance, starting globals, model line) and puts the starting locals into the
records of LOCALS; nothing else in the records changes.

How: the model's noise-free curve is fitted to a sample of the plots pooled
(a grid, then Ceres least squares); the deviations come from the moments of
the residuals; the globals then maximise the likelihood of the sample with
every plot's locals at their best (Ceres BFGS); last, every plot's locals are
set to their best at those globals. The values are in the scaled units of the
data file. The same input always gives the same output.)",
    .arguments = {{"DATA", "data file", "data file written by preparer (read only)"},
                  {"LOCALS", "local-parameter file",
                   "local-parameter file written by preparer for the same data\n"
                   "(its records get the starting locals)"},
                  {"CONTROL", "control file", "control file to write (replaced only when complete)"}},
    .required = 3,
    .option_groups = {{"Options",
                       {{"--model", "M", "model number, " + model::all_models() + " (required)", true},
                        {"--k1", "X", ""},
                        {"--k2", "X",
                         "the two model constants: required for models " + model::fixed_start_models() +
                             ",\nwhich fix the start of the curve through them (the age\n"
                             "and height scales given to preparer), unless DATA has\n"
                             "the preparer's DATA.meta.json beside it: then its scales\n"
                             "by default; models " +
                             model::free_start_models() + " do not use them (default 1)"},
                        {"--title", "TEXT",
                         "title of the run (at most 80 characters; default names\n"
                         "the model)"},
                        {"--iteration-limit", "N", "iteration limit written to CONTROL (default 100)"},
                        {"--monitor", "N",
                         "monitoring frequency written to CONTROL (default 0: no\n"
                         "per-plot trace lines)"},
                        {"--tolerance", "X",
                         "tolerance written to CONTROL (default: 1e-5, or more for\n"
                         "large problems, where rounding keeps the gradient of the\n"
                         "globals above 1e-5; with --random-locals 1e-6, on the\n"
                         "largest component of the estimator's outer step)"},
                        {"--sample", "N",
                         "number of plots, taken evenly through the file, whose\n"
                         "likelihood gives the starting globals (default 2000; the\n"
                         "sample is held in memory, about 1.6 kB a plot)"},
                        {"--random-locals", "",
                         "values for estimator --random-locals: the globals and the\n"
                         "population of the locals (means, deviations, correlation)\n"
                         "then maximise the sample's marginal likelihood (Laplace),\n"
                         "and the plots' locals are spread to that population, from\n"
                         "which the estimator starts it"}}}},
    .epilogue = R"(Exit status:
  0  the control file and the starting locals are written
  1  the input does not suit the model (model number, files of different runs,
     a local-parameter file with other locals, data too few to start the
     model); the reason is on the error stream
  2  a wrong call or an input/output failure, on the error stream
)",
    .column = 21,
  };
  return interface;
}

}  // namespace

StarterCall read_command_line(int argc, char** argv) {
  const io::CommandLine line(argc, argv, program_interface());
  StarterCall call;
  call.data = line.file(1);
  call.locals = line.file(2);
  call.control = line.file(3);
  const auto model = line.option("--model");
  if (!model) line.wrong_call("--model is required");
  const std::optional<int> number = io::whole_integer(*model);
  if (!number) line.wrong_call("--model takes a model number, " + model::all_models() + ", not " + io::quoted(*model));
  call.model = *number;
  if (!model::valid_model(call.model))
    refuse("model number " + std::to_string(call.model) + ": the models are numbered " + model::all_models());
  const std::optional<common::DataMetadata> metadata =
      common::read_describing_metadata(call.data, "starter", "its scales are not the defaults of --k1 and --k2");
  if (model::fixed_start(call.model) && !metadata && (!line.option("--k1") || !line.option("--k2")))
    line.wrong_call("model " + std::to_string(call.model) +
                    " fixes the start of the curve through the two model constants: give --k1 and --k2 (the age "
                    "and height scales given to the preparer)");
  call.k1 = io::positive_option(line, "--k1", metadata ? metadata->age_scale : 1.0);
  call.k2 = io::positive_option(line, "--k2", metadata ? metadata->height_scale : 1.0);
  call.title = line.option("--title").value_or("");
  if (call.title.find('\n') != std::string::npos || call.title.size() > 80)
    line.wrong_call("--title takes one line of at most 80 characters");
  call.iteration_limit = io::integer_option(line, "--iteration-limit", 100, 0);
  call.mfreq = io::integer_option(line, "--monitor", 0, 0);
  if (line.option("--tolerance")) call.tolerance = io::positive_option(line, "--tolerance", 0.0);
  call.sample = io::integer_option(line, "--sample", 2000, 1);
  call.random_locals = line.flag("--random-locals");
  return call;
}

}  // namespace starter
