// Shared pieces of the fuzz targets: scratch files, quiet console, and the
// splitting of one input into several files.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fuzz {

// A per-process scratch directory under /tmp.
inline std::string scratch(const std::string& name) {
  static const std::string dir = [] {
    std::string d = "/tmp/growthfit-fuzz-" + std::to_string(::getpid());
    ::mkdir(d.c_str(), 0700);
    return d;
  }();
  return dir + "/" + name;
}

inline std::string write_file(const std::string& name, std::string_view bytes) {
  const std::string path = scratch(name);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

// Parts of the input separated by a line "=====".
inline std::vector<std::string_view> split(const std::uint8_t* data, std::size_t size, std::size_t parts) {
  std::string_view all(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> out;
  while (out.size() + 1 < parts) {
    const std::size_t p = all.find("\n=====\n");
    if (p == std::string_view::npos) break;
    out.push_back(all.substr(0, p + 1));
    all.remove_prefix(p + 7);
  }
  out.push_back(all);
  while (out.size() < parts) out.emplace_back();
  return out;
}

// The programs write to the console; the fuzzers do not want to see it
// (unless FUZZ_CONSOLE is set, to see why a seed goes no further).
inline void quiet_console() {
  if (std::getenv("FUZZ_CONSOLE") != nullptr) return;
  if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}

// Runs a program body in this process on the given words (the program name
// first); its orderly stops and I/O failures are expected outcomes. Returns
// the exit status, 2 for an I/O failure.
int run_in_process(int (*body)(int, char**), std::vector<std::string> words);

// The projector's tables and figures into the scratch directory, at ages
// 2,5:9:2 with the base age 6, appended to `words`: what the targets that
// feed the projector a file ask for, so that a file it accepts is also used.
inline std::vector<std::string> with_projector_outputs(std::vector<std::string> words) {
  for (const char* w : {"--ages", "2,5:9:2", "--base-age", "6"}) words.emplace_back(w);
  for (const auto& [option, name] : {std::pair{"--projections", "p.csv"}, {"--residuals", "r.csv"},
                                     {"--site-index", "s.csv"}, {"--plot-figure", "p.svg"},
                                     {"--curve-figure", "c.svg"}, {"--residual-figure", "r.svg"}}) {
    words.emplace_back(option);
    words.push_back(scratch(name));
  }
  return words;
}

// The whole estimator in this process on the given files.
void run_estimator(const std::string& control, const std::string& data, const std::string& locals);

// The three-plot data and local-parameter files every target that needs a
// run uses; the same bytes each time.
void write_plots(const std::string& data_path, const std::string& locals_path);

// A small finished run in the scratch directory: its plot files and its
// results file (model 1, estimator --json), made once per process.
struct FixedRun {
  std::string data, locals, results;
};
const FixedRun& fixed_run();

// A small finished random-locals run in the scratch directory: 30 plots of 6
// measurements simulated from model 13 (two locals, asymptote and rate;
// bench/simulation.hpp, one seed), through the preparer (scales 1), fitted
// with `estimator --random-locals --quadrature 5 --json` from the truth;
// made once per process.
const FixedRun& random_run();

// The words of `text` separated by white space, at most `limit` of them.
std::vector<std::string> words(std::string_view text, std::size_t limit);

}  // namespace fuzz
