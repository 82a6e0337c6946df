#include "common/plot_file_readers.hpp"

#include <array>

#include "common/limits.hpp"
#include "common/plot_file_layout.hpp"
#include "io/byte_order.hpp"

namespace common {
namespace {

bool read_header(io::SequentialReader& in, std::int32_t& id, int& n) {
  if (!in.start_record()) return false;
  std::array<unsigned char, kDataHeaderPayload> header{};
  in.take(header.data(), kDataHeaderPayload);
  in.finish_record();
  id = io::load_i32(header.data());
  n = io::load_i32(header.data() + 4);
  return true;
}

bool read_measurements(io::SequentialReader& in, Plot& plot) {
  std::array<unsigned char, static_cast<std::size_t>(kMeasurementPairBytes) * kMaxMeasurements>
      pairs;  // take() fills what is read, or stops
  if (!in.start_record()) return false;
  in.take(pairs.data(), static_cast<std::int64_t>(kMeasurementPairBytes) * plot.n);
  in.finish_record();
  for (int i = 0; i < plot.n; ++i) {
    const unsigned char* pair = &pairs[static_cast<std::size_t>(kMeasurementPairBytes) * static_cast<std::size_t>(i)];
    plot.ages[static_cast<std::size_t>(i)] = io::load_f64(pair);
    plot.heights[static_cast<std::size_t>(i)] = io::load_f64(pair + 8);
  }
  return true;
}

// The plot after its header.
PlotStatus read_body(io::SequentialReader& data, Plot& plot) {
  if (plot.n < 1 || plot.n > kMaxMeasurements) return PlotStatus::wrong_count;
  if (!read_measurements(data, plot)) return PlotStatus::measurements_cut;
  return PlotStatus::ok;
}

}  // namespace

io::DirectAccessFile open_local_file(const std::string& path, io::DirectAccessFile::Mode mode) {
  return {path, "local-parameter file", kRecordLength, mode};
}

PlotStatus read_plot(io::SequentialReader& data, std::int32_t record_id, Plot& plot) {
  if (!read_header(data, plot.id, plot.n)) return PlotStatus::data_ended;
  if (plot.id != record_id) return PlotStatus::wrong_id;
  return read_body(data, plot);
}

PlotStatus read_any_plot(io::SequentialReader& data, Plot& plot) {
  if (!read_header(data, plot.id, plot.n)) return PlotStatus::data_ended;
  return read_body(data, plot);
}

bool data_ends(io::SequentialReader& data) {
  std::int32_t id = 0;
  int n = 0;
  return !read_header(data, id, n);
}

}  // namespace common
