#include "comparer/progress.hpp"

#include <algorithm>
#include <cmath>

namespace comparer {

std::string time_left_text(double seconds) {
  const long s = std::lround(std::max(0.0, seconds));
  if (s < 90) return "about " + std::to_string(std::max(1L, s)) + " s";
  const long minutes = (s + 30) / 60;
  if (minutes < 90) return "about " + std::to_string(minutes) + " min";
  return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min";
}

Progress::Progress(std::size_t models, std::FILE* out) : models_(models), out_(out) {}

std::string Progress::running_text() const {
  std::string text;
  for (int m : running_) text += (text.empty() ? "" : ", ") + std::to_string(m);
  return text;
}

void Progress::started(int model) {
  const std::lock_guard<std::mutex> lock(mutex_);
  running_.push_back(model);
  std::sort(running_.begin(), running_.end());
  std::fprintf(out_, "comparer: running model %d (running: %s; %zu of %zu done)\n", model, running_text().c_str(),
               done_, models_);
  std::fflush(out_);
}

void Progress::finished(const ModelRow& row) {
  const std::lock_guard<std::mutex> lock(mutex_);
  running_.erase(std::remove(running_.begin(), running_.end(), row.model), running_.end());
  ++done_;
  std::fprintf(out_, "comparer: model %d: %s, %d iterations, %.2f s\n", row.model, row.outcome.c_str(), row.iterations,
               row.seconds);
  if (done_ < models_) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double left = elapsed * static_cast<double>(models_ - done_) / static_cast<double>(done_);
    std::fprintf(out_, "comparer: %zu of %zu done; running: %s; %s left\n", done_, models_,
                 running_.empty() ? "none" : running_text().c_str(), time_left_text(left).c_str());
  }
  std::fflush(out_);
}

}  // namespace comparer
