// Progress of a long pass over the plots, on the error stream: a line at
// every tenth of the plots, for passes of at least 100000 plots.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace starter {

class Progress {
 public:
  Progress(std::string what, std::int64_t total) : what_(std::move(what)), total_(total) {}
  // Whether passes over `total` plots are long enough to report.
  static bool reports(std::int64_t total) { return total >= kMinimum; }
  void at(std::int64_t done) {
    if (!reports(total_) || done * 10 / total_ == (done - 1) * 10 / total_) return;
    std::fprintf(stderr, "starter: %s: %lld of %lld plots\n", what_.c_str(), static_cast<long long>(done),
                 static_cast<long long>(total_));
  }

 private:
  static constexpr std::int64_t kMinimum = 100000;
  std::string what_;
  std::int64_t total_;
};

}  // namespace starter
