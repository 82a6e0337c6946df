#include "preparer/run_preparer.hpp"

#include <filesystem>
#include <optional>
#include <string>

#include "common/data_metadata.hpp"
#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "io/command_line.hpp"
#include "io/errors.hpp"
#include "io/output_paths.hpp"
#include "preparer/dialogue.hpp"
#include "preparer/plot_gathering.hpp"

namespace preparer {
namespace {

const io::ProgramInterface& program_interface() {
  static const io::ProgramInterface interface {
    .program = "preparer", .input = "ANSWERS",
    .description = R"(Checks a text file of repeated age/height measurements and writes the two
binary plot files the estimator reads. Asks three questions on standard output
and reads the answers from standard input (a file of answers works):
  1. number of locals, minimum measurements per plot, age scale, height scale,
     columns in the parameter file (0: none), lines to skip in it, position of
     the plot ID column in it;
  2. the position of each local in the parameter file, or 0;
  3. the starting value of each local (used where its position is 0).
Ends with the line " Using N plots": N is the number of plots for the
estimator's control file.)",
    .arguments = {{"RAW-DATA", "raw data file",
                   "text file, one measurement per line: plot identifier, age, height;\n"
                   "consecutive lines with one identifier make a plot, ages not\n"
                   "decreasing, heights greater than 0"},
                  {"DATA", "data file",
                   "data file to write (the plots' scaled ages and heights); beside\n"
                   "it DATA.meta.json, written when every plot is: the scales, the\n"
                   "raw file's name, the counts and the data file's fingerprint"},
                  {"LOCALS", "local-parameter file",
                   "local-parameter file to write (one " + std::to_string(common::kRecordLength) +
                       "-byte record per plot)"},
                  {"PARAMETERS", "parameter text file",
                   "parameter text file with one line of starting values per plot,\n"
                   "needed only when the answers give columns > 0"}},
    .required = 3, .option_groups = {{"Options", {}}}, .epilogue = R"(Exit status:
  0  the plots were written (also when some were dropped for too few measurements)
  1  an error in the data or the answers, reported on standard output (the
     program's own message) and, with details, on the error stream; both
     output files hold exactly the plots accepted before it
  2  a wrong call or an input/output failure, reported on the error stream
)",
    .column = 13,
  };
  return interface;
}

}  // namespace

int run_preparer(int argc, char** argv, io::FreeFormReader& answer_input) {
  const io::CommandLine command(argc, argv, program_interface());
  const io::NamedPath inputs[] = {{command.file(1), "raw data file"},
                                  {command.has_file(4) ? command.file(4) : "", "parameter text file"}};
  const io::NamedPath outputs[] = {{command.file(2), "data file"},
                                   {command.file(3), "local-parameter file"},
                                   {common::metadata_path(command.file(2)), "data file's metadata"}};
  io::check_outputs(inputs, outputs);
  // The metadata of an earlier data file of that name no longer describes it.
  std::error_code ignored;
  std::filesystem::remove(common::metadata_path(command.file(2)), ignored);
  common::StartRecord record{};
  io::FreeFormReader raw(command.file(1), "raw data file");
  io::SequentialWriter data(command.file(2), "data file");
  io::DirectAccessFile locals = common::open_local_file(command.file(3), io::DirectAccessFile::Mode::create);

  const Answers answers = run_dialogue(answer_input, record);

  std::optional<io::FreeFormReader> parameters;
  if (answers.columns > 0) parameters.emplace(command.file(4), "parameter text file");

  const PlotFiles files{raw, data, locals, parameters ? &*parameters : nullptr};
  Written written;
  // However the pass ends, both files keep exactly the plots written so far.
  try {
    gather_plots(answers, record, files, written);
  } catch (...) {
    try {
      data.finish();
      locals.truncate(written.plots);
    } catch (const io::IoError&) {
    }
    throw;
  }
  data.finish();
  locals.truncate(written.plots);
  common::write_data_metadata(command.file(2), {answers.age_scale, answers.height_scale, command.file(1), written.plots,
                                                written.measurements, written.data.hex()});
  return 0;
}

}  // namespace preparer
