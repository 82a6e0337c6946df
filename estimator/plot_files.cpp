#include "estimator/plot_files.hpp"

#include <array>
#include <string>

#include "common/byte_order.hpp"
#include "common/plot_file_layout.hpp"
#include "common/plot_file_readers.hpp"
#include "io/errors.hpp"
#include "io/units.hpp"

namespace estimator {
namespace {

[[noreturn]] void stop_with(const std::string& message) {
  io::console().line(message);
  throw io::Stop{io::kExitDetectedError};
}

}  // namespace

PlotCheck read_plot(int iplot, int& id, int& n, Measurements& ages, Measurements& heights) {
  io::SequentialReader& data = io::sequential_in(files.data_unit);
  if (iplot == 1) data.rewind();
  if (!common::read_data_header(data, id, n))
    io::fail(data.role() + " ends before plot " + std::to_string(iplot) +
             ": the number of plots in the control file is larger than the number of plots in the file");
  if (id != esde.plot_id) return PlotCheck::wrong_id;
  if (n > common::kMaxMeasurements || n < 1) return PlotCheck::wrong_count;
  if (!common::read_data_measurements(data, n, ages.data(), heights.data()))
    io::fail(data.role() + " ends before the measurements of plot " + std::to_string(iplot) + " (ID " +
             std::to_string(id) + ")");
  return PlotCheck::ok;
}

void refuse_plot(PlotCheck check, int iplot, int id, int n) {
  if (check == PlotCheck::wrong_id) stop_with("*** RDATA: Bad plot ID, should not happen  ***");
  stop_with("*** RDATA: Plot " + std::to_string(iplot) + " (ID " + std::to_string(id) + ") has " + std::to_string(n) +
            " measurements; a plot must have 1 to " + std::to_string(common::kMaxMeasurements) + " ***");
}

void rdata(int iplot, int& id, int& n, Measurements& ages, Measurements& heights) {
  const PlotCheck check = read_plot(iplot, id, n, ages, heights);
  if (check != PlotCheck::ok) refuse_plot(check, iplot, id, n);
}

void flush_records() { io::direct(files.locals_unit).flush(); }

void get(int iplot, Locals& locals, WorkBlock& block, LocalFactor& lfactor) {
  const common::RecordLayout layout{sizes.ng, sizes.nl};
  const unsigned char* record = io::direct(files.locals_unit).view(iplot);
  const unsigned char* p = record + layout.locals_offset();
  for (int i = 0; i < sizes.nl; ++i, p += 8) locals[static_cast<std::size_t>(i)] = common::load_f64(p);
  for (int i = 0; i < sizes.nwork; ++i, p += 8) block[static_cast<std::size_t>(i)] = common::load_f64(p);
  for (int i = 0; i < sizes.nll; ++i, p += 8) lfactor[static_cast<std::size_t>(i)] = common::load_f64(p);
  esde.plot_id = common::load_i32(record);
}

void put(int iplot, const Locals& locals, const WorkBlock& block, const LocalFactor& lfactor) {
  const common::RecordLayout layout{sizes.ng, sizes.nl};
  std::array<unsigned char, common::kRecordLength> bytes{};
  common::store_i32(bytes.data(), esde.plot_id);
  unsigned char* p = bytes.data() + layout.locals_offset();
  for (int i = 0; i < sizes.nl; ++i, p += 8) common::store_f64(p, locals[static_cast<std::size_t>(i)]);
  for (int i = 0; i < sizes.nwork; ++i, p += 8) common::store_f64(p, block[static_cast<std::size_t>(i)]);
  for (int i = 0; i < sizes.nll; ++i, p += 8) common::store_f64(p, lfactor[static_cast<std::size_t>(i)]);
  io::direct(files.locals_unit).write(iplot, bytes.data(), layout.used_bytes());
}

void setpf() {}
void savepf() {}

}  // namespace estimator
