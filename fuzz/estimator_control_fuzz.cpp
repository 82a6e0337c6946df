// The whole estimator on an arbitrary control file and two small valid plot
// files: control reading, limits, model counts, and the fit when the file
// makes sense.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/limits.hpp"
#include "common/plot_file_writers.hpp"
#include "fuzz_support.hpp"

namespace {

void write_plots(const std::string& data_path, const std::string& locals_path) {
  io::SequentialWriter data(data_path, "data file");
  io::DirectAccessFile locals(locals_path, "local-parameter file", common::kRecordLength,
                              io::DirectAccessFile::Mode::create);
  const double ages[3][4] = {{1, 3, 5, 7}, {1.5, 3.5, 5.5, 7.5}, {2, 4, 6, 8}};
  const double heights[3][4] = {{0.4, 1.1, 1.7, 2.1}, {0.6, 1.3, 1.8, 2.2}, {0.7, 1.4, 2.0, 2.4}};
  for (int p = 0; p < 3; ++p) {
    common::write_data_plot(data, 10 + p, 4, ages[p], heights[p]);
    common::StartRecord r{};
    r[0] = 3.0;
    r[1] = 0.2;
    common::write_start_record(locals, p + 1, 10 + p, r);
  }
  data.finish();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  ::setenv("ESTIMATOR_THREADS", "1", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string control = fuzz::write_file("control", std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string plots = fuzz::scratch("plots.dat");
  const std::string locals = fuzz::scratch("plots.loc");
  write_plots(plots, locals);
  fuzz::run_estimator(control, plots, locals);
  return 0;
}
