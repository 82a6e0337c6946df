// The results file as the projector reads it, against the plot files of a
// small finished run (fuzz/corpus/results_json holds that run's own results
// file, whose fingerprints match those files): every table and figure is
// asked for, so that a file the reader accepts is also used.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.hpp"
#include "projector/run_projector.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  fuzz::fixed_run();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::FixedRun& run = fuzz::fixed_run();
  const std::string results =
      fuzz::write_file("results.json", std::string_view(reinterpret_cast<const char*>(data), size));
  fuzz::run_in_process(projector::run_projector,
                       fuzz::with_projector_outputs({"projector", results, run.data, run.locals, "--summary-page",
                                                     fuzz::scratch("page.html")}));
  return 0;
}
