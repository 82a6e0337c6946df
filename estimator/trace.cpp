#include "estimator/trace.hpp"

#include "io/format.hpp"

namespace estimator {

void write_trial_header(io::TextWriter& console, double alpha) {
  static const io::Format f("(/,9H ALPHA = ,G11.5,/,13H     PLOT   N,6X,8HFUNCTION,16X,16HLOCAL PARAMETERS)");
  console.write(f, io::Items().r(alpha));
}

void write_plot_line(io::TextWriter& console, int id, int n, double f, std::span<const double> trial_locals) {
  static const io::Format format("(1H ,I12,I4,6G20.11)");
  io::Items items;
  items.i(id).i(n).r(f).reals(trial_locals);
  console.write(format, items);
}

void write_summary(io::TextWriter& console, const IterationSummary& s, std::span<const double> globals) {
  static const io::Format f(
      "(/,1H ,6H ITER.,I3,10H   FUNCT.=,G18.11,7H   NPD=,I3,8H   NPD0=,I1,8H   DMAX=,G11.5,7H  GMAX=,G11.5,"
      "9H   ALPHA=,G11.5,/,13X,14HGLOBAL PARMS.:,10G18.11,/,/)");
  io::Items items;
  items.i(s.k).r(s.fold).i(s.npd).i(s.npd0).r(s.dmax).r(s.gmax).r(s.alpha).reals(globals);
  console.write(f, items);
}

void write_warnings(io::TextWriter& console, int count) {
  static const io::Format format("(44H *****  WARNING! MATRIX NEAR SINGULAR  *****)");
  for (int i = 0; i < count; ++i) console.write(format);
}

void ConsoleTrace::trial(double alpha) {
  if (progress_) progress_->trial(alpha);
  write_trial_header(console_, alpha);
}

void ConsoleTrace::plot(int id, int n, double f, std::span<const double> trial_locals) {
  if (progress_) progress_->plot(id, n, f, trial_locals);
  write_plot_line(console_, id, n, f, trial_locals);
}

void ConsoleTrace::warnings(int count) {
  if (progress_ && count > 0) progress_->warnings(count);
  write_warnings(console_, count);
}

void ConsoleTrace::iteration(const IterationSummary& summary, std::span<const double> globals) {
  if (progress_) progress_->iteration(summary, globals);
  write_summary(console_, summary, globals);
  console_.flush();
}

void ConsoleTrace::progress(Pass pass, int iteration, int plots_done, int plots) {
  if (progress_) progress_->progress(pass, iteration, plots_done, plots);
}

}  // namespace estimator
