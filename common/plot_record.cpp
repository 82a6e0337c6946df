#include "common/plot_record.hpp"

#include "common/plot_file_layout.hpp"
#include "io/byte_order.hpp"

namespace common {

std::int32_t decode_record_id(const unsigned char* record) { return io::load_i32(record); }

void decode_reals(const unsigned char* record, int first, int count, double* reals) {
  for (int i = 0; i < count; ++i) reals[i] = io::load_f64(record + real_offset(first + i));
}

void encode_record_id(std::int32_t id, unsigned char* record) { io::store_i32(record, id); }

void encode_reals(const double* reals, int first, int count, unsigned char* record) {
  for (int i = 0; i < count; ++i) io::store_f64(record + real_offset(first + i), reals[i]);
}

std::int32_t read_record_start(io::DirectAccessFile& in, std::int64_t record, int count, double* reals) {
  const unsigned char* bytes = in.view(record);
  decode_reals(bytes, 0, count, reals);
  return decode_record_id(bytes);
}

}  // namespace common
