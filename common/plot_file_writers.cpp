#include "common/plot_file_writers.hpp"

#include "common/plot_file_layout.hpp"
#include "common/plot_record.hpp"
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
  encode_record_id(id, bytes.data());
  encode_reals(reals.data(), 0, kRecordReals, bytes.data());
  out.write(record, bytes.data(), kRecordLength);
}

}  // namespace common
