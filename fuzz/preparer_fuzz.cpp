// The preparer's whole input path: answers, raw data file and parameter text
// file from one input (parts separated by a line "=====").
#include <cstdint>
#include <string>

#include "fuzz_support.hpp"
#include "io/errors.hpp"
#include "preparer/run_preparer.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = fuzz::split(data, size, 3);
  const std::string answers = fuzz::write_file("answers", parts[0]);
  std::string raw = fuzz::write_file("raw", parts[1]);
  std::string params = fuzz::write_file("params", parts[2]);
  std::string out = fuzz::scratch("out.dat");
  std::string locals = fuzz::scratch("out.loc");
  char* argv[] = {const_cast<char*>("preparer"), raw.data(), out.data(), locals.data(), params.data(), nullptr};
  try {
    io::FreeFormReader answer_input(answers, "standard input");
    preparer::run_preparer(5, argv, answer_input);
  } catch (const io::Stop&) {
  } catch (const io::IoError&) {
  }
  return 0;
}
