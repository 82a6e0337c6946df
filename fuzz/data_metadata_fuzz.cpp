// The data file's metadata (DATA.meta.json) beside the data file of a small
// fixed run, as each program that reads it reads it: the reader itself, the
// starter's and the comparer's command lines (the scales as the default model
// constants), and the estimator with --json (the scales in the results' raw
// units). The seeds (fuzz/corpus/data_metadata) carry the fingerprint of the
// fixed data file, so that the estimator uses the scales they give. A file the
// reader accepts must keep what it promises, and must read back the same
// after the preparer's writer has written what was read.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/data_metadata.hpp"
#include "comparer/command_line.hpp"
#include "estimator/run_control.hpp"
#include "fuzz_support.hpp"
#include "io/errors.hpp"
#include "starter/command_line.hpp"

namespace {

std::optional<common::DataMetadata> read_or_refuse(const std::string& data) {
  try {
    return common::read_data_metadata(data);
  } catch (const io::Stop&) {
  } catch (const io::IoError&) {
  }
  return std::nullopt;
}

bool same(const common::DataMetadata& a, const common::DataMetadata& b) {
  return a.age_scale == b.age_scale && a.height_scale == b.height_scale && a.raw_file == b.raw_file &&
         a.plots == b.plots && a.measurements == b.measurements && a.data_fingerprint == b.data_fingerprint;
}

void check(const common::DataMetadata& m) {
  if (!(m.age_scale > 0.0) || !std::isfinite(m.age_scale)) std::abort();
  if (!(m.height_scale > 0.0) || !std::isfinite(m.height_scale)) std::abort();
  if (m.plots < 0 || m.measurements < 0) std::abort();
  if (m.data_fingerprint.size() != 16) std::abort();
  const std::string echo = fuzz::scratch("echo.dat");
  common::write_data_metadata(echo, m);
  const std::optional<common::DataMetadata> again = read_or_refuse(echo);
  if (!again || !same(m, *again)) std::abort();
}

int read_starter(int argc, char** argv) {
  const starter::StarterCall call = starter::read_command_line(argc, argv);
  if (!(call.k1 > 0.0) || !(call.k2 > 0.0)) std::abort();
  return 0;
}

int read_comparer(int argc, char** argv) {
  const comparer::ComparerCall call = comparer::read_command_line(argc, argv);
  if (!(call.k1 > 0.0) || !(call.k2 > 0.0)) std::abort();
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  ::setenv("ESTIMATOR_THREADS", "1", 1);
  if (::chdir(fuzz::scratch("").c_str()) != 0) std::abort();
  fuzz::write_file("fit.ctl",
                   "metadata run\n"
                   "4 1 3\n1 1 1 1\n0 20 1e-6\n"
                   "0.2 0.6 0.1 0.05\n1 1 1\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string plots = fuzz::scratch("meta.dat");
  const std::string locals = fuzz::scratch("meta.loc");
  fuzz::write_plots(plots, locals);  // the same bytes each time: the estimator rewrites the locals
  fuzz::write_file("meta.dat.meta.json", std::string_view(reinterpret_cast<const char*>(data), size));

  if (const std::optional<common::DataMetadata> m = read_or_refuse(plots)) check(*m);
  // Model 18 fixes the start of the curve: the scales stand for --k1 and --k2.
  fuzz::run_in_process(read_starter, {"starter", plots, locals, fuzz::scratch("s.ctl"), "--model", "18"});
  fuzz::run_in_process(read_comparer, {"comparer", plots, locals, fuzz::scratch("out"), "--models", "1,18"});
  fuzz::run_in_process(estimator::run_estimator, {"estimator", fuzz::scratch("fit.ctl"), plots, locals,
                                                  fuzz::scratch("fit.report"), "--json", fuzz::scratch("fit.json")});
  return 0;
}
