// Records of a local-parameter file read whole into memory (read_bytes),
// through the record codec; records are counted from 1 as in the file.
#pragma once

#include <cstdint>
#include <vector>

#include "common/plot_file_layout.hpp"
#include "common/plot_record.hpp"

inline const unsigned char* record_bytes(const std::vector<unsigned char>& file, std::int64_t record) {
  return &file.at(static_cast<std::size_t>(common::record_offset(record)));
}

inline unsigned char* record_bytes(std::vector<unsigned char>& file, std::int64_t record) {
  return &file.at(static_cast<std::size_t>(common::record_offset(record)));
}

inline std::int32_t record_id(const std::vector<unsigned char>& file, std::int64_t record) {
  return common::decode_record_id(record_bytes(file, record));
}

// Real `index` (from 0: the locals first) of a record.
inline double record_real(const std::vector<unsigned char>& file, std::int64_t record, int index) {
  double value = 0;
  common::decode_reals(record_bytes(file, record), index, 1, &value);
  return value;
}

// Records in a file of whole records.
inline std::int64_t record_count(const std::vector<unsigned char>& file) {
  return static_cast<std::int64_t>(file.size()) / common::kRecordLength;
}
