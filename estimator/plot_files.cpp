#include "estimator/plot_files.hpp"

#include <array>
#include <cstring>
#include <string>

#include "common/plot_file_layout.hpp"
#include "common/plot_file_readers.hpp"
#include "common/plot_record.hpp"
#include "io/errors.hpp"

namespace estimator {

common::PlotStatus read_plot(io::SequentialReader& data, int iplot, std::int32_t record_id, common::Plot& plot) {
  if (iplot == 1) data.rewind();
  const common::PlotStatus status = common::read_plot(data, record_id, plot);
  if (status == common::PlotStatus::data_ended)
    io::fail(data.role() + " ends before plot " + std::to_string(iplot) +
             ": the number of plots in the control file is larger than the number of plots in the file");
  if (status == common::PlotStatus::measurements_cut)
    io::fail(data.role() + " ends before the measurements of plot " + std::to_string(iplot) + " (ID " +
             std::to_string(plot.id) + ")");
  return status;
}

void refuse_plot(common::PlotStatus status, int iplot, const common::Plot& plot) {
  if (status == common::PlotStatus::wrong_id) io::stop_with("*** RDATA: Bad plot ID, should not happen  ***");
  io::stop_with_diagnostic("plot " + std::to_string(iplot) + " (ID " + std::to_string(plot.id) +
                           ") of the data file has " + std::to_string(plot.n) +
                           " measurements; a plot must have 1 to " + std::to_string(common::kMaxMeasurements));
}

void rdata(io::SequentialReader& data, int iplot, std::int32_t record_id, common::Plot& plot) {
  const common::PlotStatus status = read_plot(data, iplot, record_id, plot);
  if (status != common::PlotStatus::ok) refuse_plot(status, iplot, plot);
}

std::int32_t decode_record(const Sizes& sizes, const unsigned char* record, model::Locals& locals, WorkBlock& block,
                           LocalFactor& lfactor) {
  const common::RecordLayout layout{sizes.ng, sizes.nl};
  common::decode_reals(record, layout.locals_first(), sizes.nl, locals.data());
  common::decode_reals(record, layout.work_first(), sizes.nwork, block.data());
  common::decode_reals(record, layout.factor_first(), sizes.nll, lfactor.data());
  return common::decode_record_id(record);
}

void encode_record(const Sizes& sizes, std::int32_t id, const model::Locals& locals, const WorkBlock& block,
                   const LocalFactor& lfactor, unsigned char* record) {
  const common::RecordLayout layout{sizes.ng, sizes.nl};
  std::memset(record, 0, static_cast<std::size_t>(layout.used_bytes()));
  common::encode_record_id(id, record);
  common::encode_reals(locals.data(), layout.locals_first(), sizes.nl, record);
  common::encode_reals(block.data(), layout.work_first(), sizes.nwork, record);
  common::encode_reals(lfactor.data(), layout.factor_first(), sizes.nll, record);
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
