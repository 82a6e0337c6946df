// The monitoring trace of the optimiser on the console: a header for every
// trial pass, a line for every monitored plot, a summary after every
// iteration, and the near-singularity warnings of the factorisations.
#pragma once

#include <span>

#include "estimator/newton_monitor.hpp"
#include "io/text_writer.hpp"

namespace estimator {

void write_trial_header(io::TextWriter& console, double alpha);
void write_plot_line(io::TextWriter& console, int id, int n, double f, std::span<const double> trial_locals);
void write_summary(io::TextWriter& console, const IterationSummary& s, std::span<const double> globals);
void write_warnings(io::TextWriter& console, int count);

// The trace as a monitor of the optimiser; the console is flushed after every
// summary, so that a trace written to a pipe or a file shows progress as it
// happens. Every event goes on first to `progress` when one is given (a
// display on another stream that must clear its line before the trace writes).
class ConsoleTrace : public NewtonMonitor {
 public:
  explicit ConsoleTrace(io::TextWriter& console, NewtonMonitor* progress = nullptr)
      : console_(console), progress_(progress) {}
  void trial(double alpha) override;
  void plot(int id, int n, double f, std::span<const double> trial_locals) override;
  void warnings(int count) override;
  void iteration(const IterationSummary& summary, std::span<const double> globals) override;
  void progress(Pass pass, int iteration, int plots_done, int plots) override;

 private:
  io::TextWriter& console_;
  NewtonMonitor* progress_;
};

}  // namespace estimator
