#include "starter/plot_files_in.hpp"

#include <cmath>

#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
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
      locals_(locals_path, "local-parameter file", common::kRecordLength,
              io::DirectAccessFile::Mode::read_write_existing),
      plots_(locals_.records_in_file()) {
  locals_.require_whole_records();
  if (plots_ == 0) refuse("the local-parameter file " + locals_path + " holds no records");
}

void PlotFiles::read_plot(std::int64_t position, Plot& plot) {
  if (!common::read_data_header(data_, plot.id, plot.n))
    refuse(different_runs(data_path_, locals_path_) + "the data file ends after " + std::to_string(position - 1) +
           " plots, the local-parameter file has " + std::to_string(plots_) + " records");
  if (plot.n < 1 || plot.n > common::kMaxMeasurements)
    io::fail("data file " + data_path_ + ", plot " + std::to_string(position) + " (ID " + std::to_string(plot.id) +
             "): " + std::to_string(plot.n) + " measurements; a plot has 1 to " +
             std::to_string(common::kMaxMeasurements) + " (the file is damaged)");
  if (!common::read_data_measurements(data_, plot.n, plot.ages.data(), plot.heights.data()))
    io::fail("data file " + data_path_ + " ends within the measurements of " + plot_name(position, plot.id));
  const std::int32_t record_id = common::read_record_start(locals_, position, 0, nullptr);
  if (record_id != plot.id)
    refuse(different_runs(data_path_, locals_path_) + "plot " + std::to_string(position) + " of the data file has ID " +
           std::to_string(plot.id) + ", record " + std::to_string(position) + " of the local-parameter file has ID " +
           std::to_string(record_id));
}

void PlotFiles::check_data_ends() {
  Plot extra;
  if (common::read_data_header(data_, extra.id, extra.n))
    refuse(different_runs(data_path_, locals_path_) + "the data file has more plots than the " +
           std::to_string(plots_) + " records of the local-parameter file");
}

}  // namespace starter
