// Byte layouts of the two plot files, shared by the preparer (which writes
// them), the readers of common/ and the record codec (common/plot_record.hpp).
//
// Data file: two framed records per plot (length word, payload, length word):
//   header payload      : plot identifier (i32), n (i32)
//   measurement payload : n pairs of (scaled age, scaled height), f64 each
// Local-parameter file: fixed records of kRecordLength bytes, no framing:
//   identifier (i32), locals (nl), work block ((ng+1)*nl), packed factor (nl(nl+1)/2)
// The preparer writes every record in full: identifier and 93 reals.
#pragma once

#include <cstdint>

#include "common/limits.hpp"

namespace common {

inline constexpr int kFrameWordBytes = 4;
inline constexpr int kDataHeaderPayload = 8;
inline constexpr int kMeasurementPairBytes = 16;

// Bytes a plot with n measurements takes in the data file.
constexpr std::int64_t data_plot_bytes(int n) {
  return 2 * (2 * kFrameWordBytes) + kDataHeaderPayload + static_cast<std::int64_t>(kMeasurementPairBytes) * n;
}

// Position of one record of the local-parameter file, counted from 1.
constexpr std::int64_t record_offset(std::int64_t record) { return (record - 1) * kRecordLength; }

inline constexpr int kRecordIdBytes = 4;

// Byte position within a record of its real `index`, counted from 0.
constexpr int real_offset(int index) { return kRecordIdBytes + 8 * index; }

// Where the blocks of a record lie for a problem of ng globals and nl locals:
// the index of each block's first real, and the bytes the problem uses.
struct RecordLayout {
  int ng;
  int nl;

  constexpr int work_reals() const { return (ng + 1) * nl; }
  constexpr int factor_reals() const { return nl * (nl + 1) / 2; }
  constexpr int locals_first() const { return 0; }
  constexpr int work_first() const { return nl; }
  constexpr int factor_first() const { return work_first() + work_reals(); }
  constexpr int used_reals() const { return factor_first() + factor_reals(); }
  constexpr int used_bytes() const { return real_offset(used_reals()); }
};

static_assert(RecordLayout{kMaxGlobals, kMaxLocals}.used_bytes() == kRecordLength);
static_assert(RecordLayout{2, 2}.used_bytes() == 92);

}  // namespace common
