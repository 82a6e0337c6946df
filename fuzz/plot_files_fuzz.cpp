// The whole estimator on arbitrary bytes as its data file and its
// local-parameter file, with a fixed control file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  ::setenv("ESTIMATOR_THREADS", "1", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::split(data, size, 3);
  const std::string control = fuzz::write_file(
      "control",
      parts[2].empty() ? std::string_view("fuzz\n4 1 3\n1 1 1 1\n1 20 1e-8\n0.2 0.6 0.1 0.05\n1 1 1\n") : parts[2]);
  const std::string plots = fuzz::write_file("plots.dat", parts[0]);
  const std::string locals = fuzz::write_file("plots.loc", parts[1]);
  fuzz::run_estimator(control, plots, locals);
  return 0;
}
