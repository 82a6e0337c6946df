#include "common/plot_file_readers.hpp"

#include <array>

#include "common/plot_file_layout.hpp"
#include "io/byte_order.hpp"

namespace common {

bool read_data_header(io::SequentialReader& in, std::int32_t& id, int& n) {
  if (!in.start_record()) return false;
  std::array<unsigned char, kDataHeaderPayload> header{};
  in.take(header.data(), kDataHeaderPayload);
  in.finish_record();
  id = io::load_i32(header.data());
  n = io::load_i32(header.data() + 4);
  return true;
}

bool read_data_measurements(io::SequentialReader& in, int n, double* ages, double* heights) {
  std::array<unsigned char, kMeasurementPairBytes * kMaxMeasurements> pairs;  // take() fills what is read, or stops
  if (!in.start_record()) return false;
  in.take(pairs.data(), static_cast<std::int64_t>(kMeasurementPairBytes) * n);
  in.finish_record();
  for (int i = 0; i < n; ++i) {
    const unsigned char* pair = &pairs[static_cast<std::size_t>(kMeasurementPairBytes * i)];
    ages[i] = io::load_f64(pair);
    heights[i] = io::load_f64(pair + 8);
  }
  return true;
}

std::int32_t read_record_start(io::DirectAccessFile& in, std::int64_t record, int count, double* reals) {
  const unsigned char* bytes = in.view(record);
  for (int i = 0; i < count; ++i) reals[i] = io::load_f64(bytes + 4 + 8 * i);
  return io::load_i32(bytes);
}

}  // namespace common
