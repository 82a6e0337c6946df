// Readers of the two plot files, for every program that reads them.
#pragma once

#include <cstdint>

#include "io/binary_file.hpp"

namespace common {

// The header record of the next plot of the data file (identifier and number
// of measurements); false when the file ends exactly before it.
bool read_data_header(io::SequentialReader& in, std::int32_t& id, int& n);

// The measurement record that follows a header: n (scaled age, scaled height)
// pairs; false when the file ends before it. The caller has checked
// 1 <= n <= kMaxMeasurements.
bool read_data_measurements(io::SequentialReader& in, int n, double* ages, double* heights);

// The identifier and the first `count` reals of record `record` (from 1) of
// the local-parameter file.
std::int32_t read_record_start(io::DirectAccessFile& in, std::int64_t record, int count, double* reals);

}  // namespace common
