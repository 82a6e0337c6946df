// The whole estimator on an arbitrary control file and two small valid plot
// files: control reading, limits, model counts, and the fit when the file
// makes sense. A unit may ask for at most 100 iterations and 10 plots (the
// files hold 3): an estimator that does as many iterations as it is asked
// is right, but the fuzzer would stop at its timeout there.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/control_file_reader.hpp"
#include "fuzz_support.hpp"
#include "io/errors.hpp"
#include "io/free_form_reader.hpp"

namespace {

constexpr int kMaxIterations = 100;
constexpr int kMaxPlots = 10;

// False when the file asks for more work than a unit may; a file whose
// sizes do not read goes on, to fail in the estimator as it fails here.
bool work_is_bounded(const std::string& control) {
  try {
    io::FreeFormReader in(control, "control file");
    common::ControlFile c;
    common::read_title_and_sizes(in, c);
    return c.itlim >= -kMaxIterations && c.itlim <= kMaxIterations && c.np <= kMaxPlots;
  } catch (const io::IoError&) {
    return true;
  } catch (const io::Stop&) {
    return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  ::setenv("ESTIMATOR_THREADS", "1", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string control = fuzz::write_file("control", std::string_view(reinterpret_cast<const char*>(data), size));
  if (!work_is_bounded(control)) return -1;  // not added to the corpus
  const std::string plots = fuzz::scratch("plots.dat");
  const std::string locals = fuzz::scratch("plots.loc");
  fuzz::write_plots(plots, locals);
  fuzz::run_estimator(control, plots, locals);
  return 0;
}
