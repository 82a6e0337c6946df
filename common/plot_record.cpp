#include "common/plot_record.hpp"

namespace common {

std::int32_t read_record_start(io::DirectAccessFile& in, std::int64_t record, int count, double* reals) {
  const unsigned char* bytes = in.view(record);
  decode_reals(bytes, 0, count, reals);
  return decode_record_id(bytes);
}

}  // namespace common
