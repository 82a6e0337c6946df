#include "estimator/progress_display.hpp"

#include <unistd.h>

namespace estimator {
namespace {

constexpr double kRedrawSeconds = 0.25;

const char* pass_name(Pass pass) {
  switch (pass) {
    case Pass::trial:
      return "trial pass";
    case Pass::derivative:
      return "derivative pass";
    case Pass::step:
      return "step pass";
  }
  return "pass";
}

}  // namespace

ProgressDisplay::ProgressDisplay(std::FILE* stream, double delay_seconds)
    : stream_(stream),
      terminal_(::isatty(::fileno(stream)) == 1),
      start_(Clock::now()),
      last_drawn_(start_),
      delay_(delay_seconds) {}

ProgressDisplay::~ProgressDisplay() { clear(); }

void ProgressDisplay::progress(Pass pass, int iteration, int plots_done, int plots) {
  if (!terminal_) return;
  const Clock::time_point now = Clock::now();
  const double running = std::chrono::duration<double>(now - start_).count();
  if (running < delay_) return;
  // A pass's beginning is always drawn; within it, a few times a second.
  if (plots_done > 0 && std::chrono::duration<double>(now - last_drawn_).count() < kRedrawSeconds) return;
  last_drawn_ = now;
  const double share = plots > 0 ? 100.0 * plots_done / plots : 100.0;
  std::fprintf(stream_, "\restimator: iteration %d, %s, %3.0f%% of %d plots (%.0f s)\033[K", iteration, pass_name(pass),
               share, plots, running);
  std::fflush(stream_);
  shown_ = true;
}

void ProgressDisplay::clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", stream_);
  std::fflush(stream_);
  shown_ = false;
}

}  // namespace estimator
