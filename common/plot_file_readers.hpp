// The reader of the data file, for every program that reads it: plot by plot,
// each checked against the identifier of its record in the local-parameter
// file. The reader names what is wrong; each program words the message.
#pragma once

#include <cstdint>
#include <string>

#include "common/plot.hpp"
#include "io/binary_file.hpp"

namespace common {

// The local-parameter file at `path`, its records of kRecordLength bytes,
// named "local-parameter file" in messages.
io::DirectAccessFile open_local_file(const std::string& path, io::DirectAccessFile::Mode mode);

enum class PlotStatus {
  ok,
  data_ended,        // the data file ends exactly before the plot
  wrong_id,          // the plot's identifier is not the record's
  wrong_count,       // n is outside 1 .. kMaxMeasurements
  measurements_cut,  // the data file ends within the plot's measurements
};

// The next plot of the data file, whose identifier must be `record_id`.
// Checks in the order of the enum; on a status other than ok the plot holds
// what was read (the identifier and n once the header is read).
PlotStatus read_plot(io::SequentialReader& data, std::int32_t record_id, Plot& plot);

// The next plot whatever its identifier, for the data file read alone.
PlotStatus read_any_plot(io::SequentialReader& data, Plot& plot);

// After the last plot: true when the data file ends there, as it must.
bool data_ends(io::SequentialReader& data);

}  // namespace common
