// The two plot files as the starter reads them: the data file front to back,
// and the local-parameter file record by record, checked against each other
// plot by plot (they must come from one preparer run).
#pragma once

#include <cstdint>
#include <string>

#include "common/plot.hpp"
#include "io/binary_file.hpp"

namespace starter {

class PlotFiles {
 public:
  PlotFiles(const std::string& data_path, const std::string& locals_path);

  // Number of plots: the records of the local-parameter file.
  std::int64_t plots() const { return plots_; }
  // Starts a pass over the plots.
  void rewind() { data_.rewind(); }
  // The next plot of the data file, whose identifier must be that of record
  // `position`; refuses files of different runs.
  void read_plot(std::int64_t position, common::Plot& plot);
  // After the last plot: the data file must end there.
  void check_data_ends();
  io::DirectAccessFile& locals() { return locals_; }
  const std::string& data_path() const { return data_path_; }
  const std::string& locals_path() const { return locals_path_; }

 private:
  std::string data_path_;
  std::string locals_path_;
  io::SequentialReader data_;
  io::DirectAccessFile locals_;
  std::int64_t plots_;
};

}  // namespace starter
