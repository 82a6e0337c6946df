#include "estimator/plot_files.hpp"

#include <array>
#include <cstring>
#include <string>

#include "common/plot_file_layout.hpp"
#include "common/plot_file_readers.hpp"
#include "io/byte_order.hpp"
#include "io/errors.hpp"

namespace estimator {

PlotCheck read_plot(io::SequentialReader& data, int iplot, std::int32_t record_id, PlotData& plot) {
  if (iplot == 1) data.rewind();
  if (!common::read_data_header(data, plot.id, plot.n))
    io::fail(data.role() + " ends before plot " + std::to_string(iplot) +
             ": the number of plots in the control file is larger than the number of plots in the file");
  if (plot.id != record_id) return PlotCheck::wrong_id;
  if (plot.n > common::kMaxMeasurements || plot.n < 1) return PlotCheck::wrong_count;
  if (!common::read_data_measurements(data, plot.n, plot.ages.data(), plot.heights.data()))
    io::fail(data.role() + " ends before the measurements of plot " + std::to_string(iplot) + " (ID " +
             std::to_string(plot.id) + ")");
  return PlotCheck::ok;
}

void refuse_plot(PlotCheck check, int iplot, const PlotData& plot) {
  if (check == PlotCheck::wrong_id) io::stop_with("*** RDATA: Bad plot ID, should not happen  ***");
  io::stop_with_diagnostic("plot " + std::to_string(iplot) + " (ID " + std::to_string(plot.id) +
                           ") of the data file has " + std::to_string(plot.n) +
                           " measurements; a plot must have 1 to " + std::to_string(common::kMaxMeasurements));
}

void rdata(io::SequentialReader& data, int iplot, std::int32_t record_id, PlotData& plot) {
  const PlotCheck check = read_plot(data, iplot, record_id, plot);
  if (check != PlotCheck::ok) refuse_plot(check, iplot, plot);
}

std::int32_t decode_record(const Sizes& sizes, const unsigned char* record, model::Locals& locals, WorkBlock& block,
                           LocalFactor& lfactor) {
  const unsigned char* p = record + common::RecordLayout{sizes.ng, sizes.nl}.locals_offset();
  for (int i = 0; i < sizes.nl; ++i, p += 8) locals[static_cast<std::size_t>(i)] = io::load_f64(p);
  for (int i = 0; i < sizes.nwork; ++i, p += 8) block[static_cast<std::size_t>(i)] = io::load_f64(p);
  for (int i = 0; i < sizes.nll; ++i, p += 8) lfactor[static_cast<std::size_t>(i)] = io::load_f64(p);
  return io::load_i32(record);
}

void encode_record(const Sizes& sizes, std::int32_t id, const model::Locals& locals, const WorkBlock& block,
                   const LocalFactor& lfactor, unsigned char* record) {
  const common::RecordLayout layout{sizes.ng, sizes.nl};
  std::memset(record, 0, static_cast<std::size_t>(layout.used_bytes()));
  io::store_i32(record, id);
  unsigned char* p = record + layout.locals_offset();
  for (int i = 0; i < sizes.nl; ++i, p += 8) io::store_f64(p, locals[static_cast<std::size_t>(i)]);
  for (int i = 0; i < sizes.nwork; ++i, p += 8) io::store_f64(p, block[static_cast<std::size_t>(i)]);
  for (int i = 0; i < sizes.nll; ++i, p += 8) io::store_f64(p, lfactor[static_cast<std::size_t>(i)]);
}

std::int32_t get(const Files& files, const Sizes& sizes, int iplot, model::Locals& locals, WorkBlock& block,
                 LocalFactor& lfactor) {
  return decode_record(sizes, files.locals.view(iplot), locals, block, lfactor);
}

void put(const Files& files, const Sizes& sizes, int iplot, std::int32_t id, const model::Locals& locals,
         const WorkBlock& block, const LocalFactor& lfactor) {
  std::array<unsigned char, common::kRecordLength> bytes;
  encode_record(sizes, id, locals, block, lfactor, bytes.data());
  files.locals.write(iplot, bytes.data(), common::RecordLayout{sizes.ng, sizes.nl}.used_bytes());
}

}  // namespace estimator
