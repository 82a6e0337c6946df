#include "preparer/run_preparer.hpp"

#include <memory>
#include <string>

#include "common/limits.hpp"
#include "io/errors.hpp"
#include "io/units.hpp"
#include "preparer/dialogue.hpp"
#include "preparer/plot_gathering.hpp"

namespace preparer {
namespace {

constexpr int kRawUnit = 1;
constexpr int kDataUnit = 2;
constexpr int kLocalsUnit = 3;
constexpr int kParametersUnit = 4;

std::string argument(int argc, char** argv, int k, const char* what) {
  return io::file_argument(argc, argv, k, what, "preparer RAW-DATA DATA LOCALS [PARAMETERS]");
}

}  // namespace

int run_preparer(int argc, char** argv) {
  common::StartRecord record{};
  io::open_text_in(kRawUnit, argument(argc, argv, 1, "raw data file"), "raw data file");
  io::open_sequential_out(kDataUnit, argument(argc, argv, 2, "data file"), "data file");
  io::open_direct(kLocalsUnit, argument(argc, argv, 3, "local-parameter file"), "local-parameter file",
                  common::kRecordLength, io::DirectAccessFile::Mode::create);

  const Answers answers = run_dialogue(io::text_in(io::kStandardInput), record);

  io::FreeFormReader* parameters = nullptr;
  if (answers.columns > 0) {
    io::open_text_in(kParametersUnit, argument(argc, argv, 4, "parameter text file"), "parameter text file");
    parameters = &io::text_in(kParametersUnit);
  }

  io::SequentialWriter& data = io::sequential_out(kDataUnit);
  io::DirectAccessFile& locals = io::direct(kLocalsUnit);
  const PlotFiles files{io::text_in(kRawUnit), data, locals, parameters};
  int written = 0;
  // However the pass ends, both files keep exactly the plots written so far.
  try {
    gather_plots(answers, record, files, written);
  } catch (...) {
    try {
      data.finish();
      locals.truncate(written);
    } catch (const io::IoError&) {
    }
    throw;
  }
  data.finish();
  locals.truncate(written);
  return 0;
}

}  // namespace preparer
