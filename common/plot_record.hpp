// The codec of one record of the local-parameter file: the plot identifier
// and reals counted from 0 (locals, then work block, then packed factor; see
// RecordLayout). Every program and test reads and writes records through it.
#pragma once

#include <cstdint>

#include "io/binary_file.hpp"

namespace common {

std::int32_t decode_record_id(const unsigned char* record);
// Reals first .. first+count-1 of a record.
void decode_reals(const unsigned char* record, int first, int count, double* reals);
void encode_record_id(std::int32_t id, unsigned char* record);
void encode_reals(const double* reals, int first, int count, unsigned char* record);

// The identifier and the first `count` reals of record `record` (from 1) of
// the local-parameter file.
std::int32_t read_record_start(io::DirectAccessFile& in, std::int64_t record, int count, double* reals);

}  // namespace common
