// The projector's options on a small finished run: every word of the input is
// one argument after the three file names (age lists and ranges, levels,
// identifiers, quantiles, base age, scales, units, site-index curves, new
// plots). Outputs named by the input are written in the scratch directory; a
// word with a '/' is left out, so that nothing is written anywhere else. The
// scratch directory holds a raw file of new plots, new.raw, for --new-data.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.hpp"
#include "projector/run_projector.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  fuzz::fixed_run();
  if (::chdir(fuzz::scratch("").c_str()) != 0) std::abort();
  fuzz::write_file("new.raw", "21 1 0.5\n21 3 1.2\n21 5 1.8\n22 2 0.7\n22 4 1.4\n22 6 2.0\n23 3 1.0\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::FixedRun& run = fuzz::fixed_run();
  std::vector<std::string> args{"projector", run.results, run.data, run.locals};
  for (std::string& w : fuzz::words(std::string_view(reinterpret_cast<const char*>(data), size), 24))
    if (w.find('/') == std::string::npos) args.push_back(std::move(w));
  fuzz::run_in_process(projector::run_projector, args);
  return 0;
}
