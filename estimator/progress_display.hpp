// A line on the error stream, when that stream is a terminal, saying which
// pass of which iteration is running and how far it has come; shown only once
// the run has taken a few seconds, redrawn a few times a second, and cleared
// before the trace writes anything, so the trace on standard output (a file or
// the same terminal) reads exactly as without it.
#pragma once

#include <chrono>
#include <cstdio>

#include "estimator/newton_monitor.hpp"

namespace estimator {

class ProgressDisplay : public NewtonMonitor {
 public:
  // Shows nothing unless `stream` is a terminal; the line appears once the
  // run has taken delay_seconds.
  ProgressDisplay(std::FILE* stream, double delay_seconds);
  ~ProgressDisplay() override;
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

  void trial(double) override { clear(); }
  void plot(int, int, double, std::span<const double>) override { clear(); }
  void warnings(int) override { clear(); }
  void iteration(const IterationSummary&, std::span<const double>) override { clear(); }
  void progress(Pass pass, int iteration, int plots_done, int plots) override;

 private:
  using Clock = std::chrono::steady_clock;
  void clear();

  std::FILE* stream_;
  bool terminal_;
  Clock::time_point start_;
  Clock::time_point last_drawn_;
  double delay_;
  bool shown_ = false;
};

}  // namespace estimator
