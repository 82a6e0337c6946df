#include "projector/plot_pass.hpp"

#include <algorithm>
#include <cstdio>

#include "common/fingerprint.hpp"
#include "common/limits.hpp"
#include "common/plot_file_layout.hpp"
#include "common/plot_file_readers.hpp"
#include "common/plot_record.hpp"
#include "io/binary_file.hpp"
#include "io/errors.hpp"
#include "model/models.hpp"

namespace projector {
namespace {

constexpr std::int64_t kProgressEvery = 100000;

// The next plot of the data file, against the identifier of its record
// `record_id` in the local-parameter file.
void read_plot(io::SequentialReader& data, const RunResults& run, std::int32_t record_id, PlotData& plot) {
  const std::string where = " at plot " + std::to_string(plot.position);
  switch (common::read_plot(data, record_id, plot)) {
    case common::PlotStatus::ok:
      return;
    case common::PlotStatus::data_ended:
      io::fail(data.role() + " ends after " + std::to_string(plot.position - 1) + " plots, but the run had " +
               std::to_string(run.plots) + ": it is not the data file of the results file's run");
    case common::PlotStatus::wrong_id:
      io::fail("local-parameter file: record " + std::to_string(plot.position) + " is plot " +
               std::to_string(record_id) + ", but the data file's plot there is " + std::to_string(plot.id));
    case common::PlotStatus::wrong_count:
      io::fail(data.role() + where + ": " + std::to_string(plot.n) + " measurements, expected 1 to " +
               std::to_string(common::kMaxMeasurements));
    case common::PlotStatus::measurements_cut:
      io::fail(data.role() + where + ": the file ends before the measurements");
  }
}

void check_record_count(const io::DirectAccessFile& locals, const RunResults& run) {
  if (locals.records_in_file() != run.plots)
    io::fail(locals.role() + " holds " + std::to_string(locals.records_in_file()) + " records, but the run had " +
             std::to_string(run.plots) + " plots");
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
  io::DirectAccessFile locals = common::open_local_file(files.locals, io::DirectAccessFile::Mode::read_only);
  locals.require_whole_records();
  check_record_count(locals, run);
  common::Fingerprint data_print, locals_print;
  const int reals = common::RecordLayout{run.ng, run.nl}.used_reals();
  std::int64_t measurements = 0;
  PlotData plot;
  for (plot.position = 1; plot.position <= run.plots; ++plot.position) {
    const std::int32_t id = common::read_record_start(locals, plot.position, reals, plot.record.data());
    std::copy_n(plot.record.begin(), run.nl, plot.locals.begin());
    read_plot(data, run, id, plot);
    measurements += plot.n;
    data_print.add_plot(plot.id, plot.n, plot.ages.data(), plot.heights.data());
    locals_print.add_record(id, run.nl, plot.locals.data());
    model::trpars(run.esde, run.globals, plot.locals, plot.curve);
    visit(plot);
    if (progress && plot.position % kProgressEvery == 0)
      std::fprintf(stderr, "projector: %lld of %lld plots\n", static_cast<long long>(plot.position),
                   static_cast<long long>(run.plots));
  }
  if (!common::data_ends(data))
    io::fail(data.role() + " holds more than the run's " + std::to_string(run.plots) + " plots");
  if (run.random_locals) {
    if (measurements != run.measurements)
      io::fail(data.role() + " '" + files.data + "' holds " + std::to_string(measurements) +
               " measurements, but the run had " + std::to_string(run.measurements) +
               ": it is not the data file of the results file's run");
    return;
  }
  check_fingerprint("data file", files.data, data_print, run.data_fingerprint, run.data_file);
  check_fingerprint("local-parameter file", files.locals, locals_print, run.locals_fingerprint, run.locals_file);
}

void for_each_record(const RunResults& run, const std::string& locals_path,
                     const std::function<void(const model::Locals&)>& visit) {
  io::DirectAccessFile locals = common::open_local_file(locals_path, io::DirectAccessFile::Mode::read_only);
  check_record_count(locals, run);
  common::Fingerprint print;
  model::Locals values{};
  for (std::int64_t p = 1; p <= run.plots; ++p) {
    const std::int32_t id = common::read_record_start(locals, p, run.nl, values.data());
    print.add_record(id, run.nl, values.data());
    visit(values);
  }
  if (print.hex() != run.locals_fingerprint)
    io::fail("the local-parameter file '" + locals_path + "' changed while the projector read it (fingerprint " +
             print.hex() + ", the results file has " + run.locals_fingerprint + ")");
}

}  // namespace projector
