#include "common/plot_file_writers.hpp"

#include "common/plot_file_layout.hpp"
#include "io/byte_order.hpp"

namespace common {

void write_data_plot(io::SequentialWriter& out, std::int32_t id, int n, const double* ages, const double* heights) {
  std::array<unsigned char, kMeasurementPairBytes * kMaxMeasurements> payload{};
  unsigned char header[kDataHeaderPayload];
  io::store_i32(header, id);
  io::store_i32(header + 4, n);
  out.write_record(header, kDataHeaderPayload);
  for (int i = 0; i < n; ++i) {
    io::store_f64(&payload[static_cast<std::size_t>(kMeasurementPairBytes * i)], ages[i]);
    io::store_f64(&payload[static_cast<std::size_t>(kMeasurementPairBytes * i + 8)], heights[i]);
  }
  out.write_record(payload.data(), kMeasurementPairBytes * n);
}

void write_start_record(io::DirectAccessFile& out, std::int64_t record, std::int32_t id, const StartRecord& reals) {
  std::array<unsigned char, kRecordLength> bytes{};
  io::store_i32(bytes.data(), id);
  for (int i = 0; i < kRecordReals; ++i)
    io::store_f64(&bytes[static_cast<std::size_t>(4 + 8 * i)], reals[static_cast<std::size_t>(i)]);
  out.write(record, bytes.data(), kRecordLength);
}

}  // namespace common
