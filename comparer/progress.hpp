// What the comparer tells on its error stream while the models run: which
// models are running, and after each finished model how many are done and
// an estimate of the time left,
//   left = elapsed × (models − done) / done,
// the wall time per finished model so far (the jobs running side by side are
// in it) times the models still to finish. Thread-safe: the jobs call it.
#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "comparer/model_row.hpp"

namespace comparer {

class Progress {
 public:
  Progress(std::size_t models, std::FILE* out);
  void started(int model);
  // Prints the model's row as "comparer: model 7: converged, 3 iterations,
  // 0.07 s", then the count of models done and the time left.
  void finished(const ModelRow& row);

 private:
  std::string running_text() const;

  std::mutex mutex_;
  std::size_t models_;
  std::size_t done_ = 0;
  std::vector<int> running_;
  std::FILE* out_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// "about 40 s", "about 3 min", "about 2 h 5 min".
std::string time_left_text(double seconds);

}  // namespace comparer
