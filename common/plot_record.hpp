// The codec of one record of the local-parameter file: the plot identifier
// and reals counted from 0 (locals, then work block, then packed factor; see
// RecordLayout). Every program and test reads and writes records through it.
#pragma once

#include <cstdint>

#include "common/plot_file_layout.hpp"
#include "io/binary_file.hpp"
#include "io/byte_order.hpp"

namespace common {

// Inline: the estimator decodes and encodes every record on every pass.
inline std::int32_t decode_record_id(const unsigned char* record) { return io::load_i32(record); }

// Reals first .. first+count-1 of a record.
inline void decode_reals(const unsigned char* record, int first, int count, double* reals) {
  for (int i = 0; i < count; ++i) reals[i] = io::load_f64(record + real_offset(first + i));
}

inline void encode_record_id(std::int32_t id, unsigned char* record) { io::store_i32(record, id); }

inline void encode_reals(const double* reals, int first, int count, unsigned char* record) {
  for (int i = 0; i < count; ++i) io::store_f64(record + real_offset(first + i), reals[i]);
}

// The identifier and the first `count` reals of record `record` (from 1) of
// the local-parameter file.
std::int32_t read_record_start(io::DirectAccessFile& in, std::int64_t record, int count, double* reals);

}  // namespace common
