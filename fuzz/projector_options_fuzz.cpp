// The projector's options on a small finished run: every word of the input is
// one argument after the three file names (age lists and ranges, levels,
// identifiers, quantiles, base age, scales, units). Outputs named by the
// input are written in the scratch directory; a word with a '/' is left out,
// so that nothing is written anywhere else.
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
