// Writers of the two plot files, as the preparer produces them.
#pragma once

#include <array>
#include <cstdint>

#include "common/limits.hpp"
#include "io/binary_file.hpp"

namespace common {

using StartRecord = std::array<double, kRecordReals>;

// One plot of the data file: the header record (identifier, n) and the
// measurement record of n (age, height) pairs, values already scaled.
void write_data_plot(io::SequentialWriter& out, std::int32_t id, int n, const double* ages, const double* heights);

// A full record of the local-parameter file: identifier and 93 reals.
void write_start_record(io::DirectAccessFile& out, std::int64_t record, std::int32_t id, const StartRecord& reals);

}  // namespace common
