// The command lines of the starter and the comparer, read whole: the first
// byte picks the program, the words of the rest are its arguments (model
// numbers and lists, constants, limits, tolerances, sample sizes). A line that
// reads must give what it promises: the comparer's models increasing, each
// once, all in the catalogue.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "comparer/command_line.hpp"
#include "fuzz_support.hpp"
#include "io/errors.hpp"
#include "model/catalogue.hpp"
#include "starter/command_line.hpp"

namespace {

void check_models(const std::vector<int>& models) {
  for (std::size_t k = 0; k < models.size(); ++k) {
    if (!model::valid_model(models[k])) std::abort();
    if (k > 0 && models[k] <= models[k - 1]) std::abort();
  }
}

int read_comparer(int argc, char** argv) {
  check_models(comparer::read_command_line(argc, argv).models);
  return 0;
}

int read_starter(int argc, char** argv) {
  const starter::StarterCall call = starter::read_command_line(argc, argv);
  if (!model::valid_model(call.model)) std::abort();
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const bool comparer = data[0] % 2 == 1;
  std::vector<std::string> args{comparer ? "comparer" : "starter"};
  for (std::string& w : fuzz::words(text, 24)) args.push_back(std::move(w));
  fuzz::run_in_process(comparer ? read_comparer : read_starter, args);
  check_models(comparer::parse_model_list(std::string(text)));
  return 0;
}
