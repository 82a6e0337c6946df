#include "projector/plot_pass.hpp"

#include <cstdio>

#include "common/fingerprint.hpp"
#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "io/binary_file.hpp"
#include "io/errors.hpp"
#include "model/models.hpp"

namespace projector {
namespace {

constexpr std::int64_t kProgressEvery = 100000;

void read_plot(io::SequentialReader& data, const RunResults& run, PlotData& plot) {
  const std::string where = " at plot " + std::to_string(plot.position);
  if (!common::read_data_header(data, plot.id, plot.n))
    io::fail(data.role() + " ends after " + std::to_string(plot.position - 1) + " plots, but the run had " +
             std::to_string(run.plots) + ": it is not the data file of the results file's run");
  if (plot.n < 1 || plot.n > common::kMaxMeasurements)
    io::fail(data.role() + where + ": " + std::to_string(plot.n) + " measurements, expected 1 to " +
             std::to_string(common::kMaxMeasurements));
  if (!common::read_data_measurements(data, plot.n, plot.ages.data(), plot.heights.data()))
    io::fail(data.role() + where + ": the file ends before the measurements");
}

// `given`: the file as it was named to the run, `run_file`: as the results
// file names it (empty: unknown).
void check_fingerprint(const std::string& role, const std::string& given, const common::Fingerprint& got,
                       const std::string& expected, const std::string& run_file) {
  if (got.hex() == expected) return;
  std::string hint;
  if (run_file == given)
    hint = "; the run was given a file of that name, which has changed since (a later run or the starter rewrote it)";
  else if (!run_file.empty())
    hint = "; the run was given the " + role + " '" + run_file + "'";
  io::fail("the " + role + " '" + given + "' is not the one the results file's run left (fingerprint " + got.hex() +
           ", the results file has " + expected + ")" + hint);
}

}  // namespace

void for_each_plot(const RunResults& run, const PlotFiles& files, bool progress,
                   const std::function<void(const PlotData&)>& visit) {
  io::SequentialReader data(files.data, "data file");
  io::DirectAccessFile locals(files.locals, "local-parameter file", common::kRecordLength,
                              io::DirectAccessFile::Mode::read_only);
  locals.require_whole_records();
  if (locals.records_in_file() != run.plots)
    io::fail(locals.role() + " holds " + std::to_string(locals.records_in_file()) + " records, but the run had " +
             std::to_string(run.plots) + " plots");
  common::Fingerprint data_print, locals_print;
  PlotData plot;
  for (plot.position = 1; plot.position <= run.plots; ++plot.position) {
    read_plot(data, run, plot);
    const std::int32_t id = common::read_record_start(locals, plot.position, run.nl, plot.locals.data());
    if (id != plot.id)
      io::fail(locals.role() + ": record " + std::to_string(plot.position) + " is plot " + std::to_string(id) +
               ", but the data file's plot there is " + std::to_string(plot.id));
    data_print.add_plot(plot.id, plot.n, plot.ages.data(), plot.heights.data());
    locals_print.add_record(id, run.nl, plot.locals.data());
    model::trpars(run.esde, run.globals, plot.locals, plot.curve);
    visit(plot);
    if (progress && plot.position % kProgressEvery == 0)
      std::fprintf(stderr, "projector: %lld of %lld plots\n", static_cast<long long>(plot.position),
                   static_cast<long long>(run.plots));
  }
  std::int32_t id = 0;
  int n = 0;
  if (common::read_data_header(data, id, n))
    io::fail(data.role() + " holds more than the run's " + std::to_string(run.plots) + " plots");
  check_fingerprint("data file", files.data, data_print, run.data_fingerprint, run.data_file);
  check_fingerprint("local-parameter file", files.locals, locals_print, run.locals_fingerprint, run.locals_file);
}

}  // namespace projector
