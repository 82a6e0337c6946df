// The raw file of new plots (projector --new-data RAW), against a small
// finished run in raw units of scale 1: the raw reader's checks, the scan for
// identifiers given twice, each new plot's locals fitted with the run's
// globals held, and every table and figure of the new plots (the summary
// page is of the run's own plots only). A unit may hold
// at most 400 lines, so that the fits stay few.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.hpp"
#include "projector/run_projector.hpp"

namespace {

constexpr long kMaxLines = 400;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  fuzz::fixed_run();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (std::count(text.begin(), text.end(), '\n') > kMaxLines) return -1;  // not added to the corpus
  const fuzz::FixedRun& run = fuzz::fixed_run();
  const std::string raw = fuzz::write_file("new.raw", text);
  fuzz::run_in_process(projector::run_projector,
                       fuzz::with_projector_outputs({"projector", run.results, run.data, run.locals, "--new-data",
                                                     raw, "--new-locals", fuzz::scratch("new-locals.csv"),
                                                     "--site-curves", "1.5,2.5", "--site-curve-figure",
                                                     fuzz::scratch("sc.svg")}));
  return 0;
}
