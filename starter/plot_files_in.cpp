#include "starter/plot_files_in.hpp"

#include <cmath>

#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "common/plot_record.hpp"
#include "io/errors.hpp"
#include "starter/refusal.hpp"

namespace starter {
namespace {

std::string different_runs(const std::string& data, const std::string& locals) {
  return "the data file " + data + " and the local-parameter file " + locals + " are not from the same preparer run: ";
}

}  // namespace

PlotFiles::PlotFiles(const std::string& data_path, const std::string& locals_path)
    : data_path_(data_path),
      locals_path_(locals_path),
      data_(data_path, "data file"),
      locals_(common::open_local_file(locals_path, io::DirectAccessFile::Mode::read_write_existing)),
      plots_(locals_.records_in_file()) {
  locals_.require_whole_records();
  if (plots_ == 0) refuse("the local-parameter file " + locals_path + " holds no records");
}

void PlotFiles::read_plot(std::int64_t position, common::Plot& plot) {
  const std::int32_t record_id = common::read_record_start(locals_, position, 0, nullptr);
  switch (common::read_plot(data_, record_id, plot)) {
    case common::PlotStatus::ok:
      return;
    case common::PlotStatus::data_ended:
      refuse(different_runs(data_path_, locals_path_) + "the data file ends after " + std::to_string(position - 1) +
             " plots, the local-parameter file has " + std::to_string(plots_) + " records");
    case common::PlotStatus::wrong_id:
      refuse(different_runs(data_path_, locals_path_) + "plot " + std::to_string(position) +
             " of the data file has ID " + std::to_string(plot.id) + ", record " + std::to_string(position) +
             " of the local-parameter file has ID " + std::to_string(record_id));
    case common::PlotStatus::wrong_count:
      io::fail("data file " + data_path_ + ", plot " + std::to_string(position) + " (ID " + std::to_string(plot.id) +
               "): " + std::to_string(plot.n) + " measurements; a plot has 1 to " +
               std::to_string(common::kMaxMeasurements) + " (the file is damaged)");
    case common::PlotStatus::measurements_cut:
      io::fail("data file " + data_path_ + " ends within the measurements of " + plot_name(position, plot.id));
  }
}

void PlotFiles::check_data_ends() {
  if (!common::data_ends(data_))
    refuse(different_runs(data_path_, locals_path_) + "the data file has more plots than the " +
           std::to_string(plots_) + " records of the local-parameter file");
}

}  // namespace starter
