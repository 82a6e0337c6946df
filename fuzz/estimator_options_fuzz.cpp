// The estimator's options on a small fixed run: every word of the input is one
// argument after the four file names (--random-locals, --quadrature K,
// --threads N, --json and --plots files); the first byte picks the control
// file, model 1 (one local) or model 13 (two locals), both with at most 8
// iterations, on 3 plots whose starting locals differ, so that the
// random-locals fit has a population to start from. Outputs named by the
// input are written in the scratch directory; a word with a '/' is left out,
// so that nothing is written anywhere else. A unit may ask for at most 4
// threads and, with two locals, at most 6 quadrature nodes per local: the
// largest rule (20) on two locals takes some 20 seconds here for 20
// iterations, which is right but would stop the fuzzer at its timeout.
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/plot_file_readers.hpp"
#include "common/plot_file_writers.hpp"
#include "estimator/run_control.hpp"
#include "fuzz_support.hpp"
#include "io/binary_file.hpp"

namespace {

constexpr int kMaxThreads = 4;
constexpr int kMaxNodesOfTwoLocals = 6;

// False when a value of `option` reads as an integer above `limit`.
bool bounded(const std::vector<std::string>& words, const char* option, int limit) {
  for (std::size_t k = 0; k + 1 < words.size(); ++k) {
    if (words[k] != option) continue;
    const std::string& w = words[k + 1];
    int n = 0;
    const auto [end, error] = std::from_chars(w.data(), w.data() + w.size(), n);
    if (error == std::errc() && end == w.data() + w.size() && n > limit) return false;
  }
  return true;
}

void write_locals(const std::string& path) {
  io::DirectAccessFile locals = common::open_local_file(path, io::DirectAccessFile::Mode::create);
  for (int p = 0; p < 3; ++p) {
    common::StartRecord r{};
    r[0] = 2.6 + 0.3 * p;
    r[1] = 0.25 - 0.04 * p;
    common::write_start_record(locals, p + 1, 10 + p, r);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::quiet_console();
  ::unsetenv("ESTIMATOR_THREADS");
  if (::chdir(fuzz::scratch("").c_str()) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::vector<std::string> args{"estimator", "", "", "", ""};
  for (std::string& w : fuzz::words(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), 16))
    if (w.find('/') == std::string::npos) args.push_back(std::move(w));
  const bool two_locals = data[0] % 2 == 1;
  if (!bounded(args, "--threads", kMaxThreads) || !bounded(args, "--quadrature", two_locals ? kMaxNodesOfTwoLocals : 20))
    return -1;  // not added to the corpus
  const std::string control =
      two_locals ? fuzz::write_file("opt.ctl", "two locals\n3 2 3\n1 1 1 1\n1 8 1e-6\n0.6 0.1 0.05\n13 1 1\n")
                 : fuzz::write_file("opt.ctl", "one local\n4 1 3\n1 1 1 1\n1 8 1e-6\n0.2 0.6 0.1 0.05\n1 1 1\n");
  const std::string plots = fuzz::scratch("opt.dat");
  const std::string locals = fuzz::scratch("opt.loc");
  fuzz::write_plots(plots, locals);
  write_locals(locals);
  args[1] = control;
  args[2] = plots;
  args[3] = locals;
  args[4] = fuzz::scratch("opt.report");
  ::setenv("ESTIMATOR_THREADS", "1", 1);  // unless --threads says otherwise
  fuzz::run_in_process(estimator::run_estimator, args);
  return 0;
}
