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
  fuzz::run_in_process(projector::run_projector, {"projector",
                                                  results,
                                                  run.data,
                                                  run.locals,
                                                  "--ages",
                                                  "2,5:9:2",
                                                  "--base-age",
                                                  "6",
                                                  "--projections",
                                                  fuzz::scratch("p.csv"),
                                                  "--residuals",
                                                  fuzz::scratch("r.csv"),
                                                  "--site-index",
                                                  fuzz::scratch("s.csv"),
                                                  "--plot-figure",
                                                  fuzz::scratch("p.svg"),
                                                  "--curve-figure",
                                                  fuzz::scratch("c.svg"),
                                                  "--residual-figure",
                                                  fuzz::scratch("r.svg"),
                                                  "--summary-page",
                                                  fuzz::scratch("page.html")});
  return 0;
}
