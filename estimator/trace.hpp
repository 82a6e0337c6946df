// The monitoring trace of the optimiser on the console: a header for every
// trial pass, a line for every monitored plot, a summary after every
// iteration.
#pragma once

#include <span>

#include "io/text_writer.hpp"

namespace estimator {

void write_trial_header(io::TextWriter& console, double alpha);
void write_plot_line(io::TextWriter& console, int id, int n, double f, std::span<const double> trial_locals);

struct IterationSummary {
  int k;
  double fold;
  int npd;
  int npd0;
  double dmax;
  double gmax;
  double alpha;
};
void write_summary(io::TextWriter& console, const IterationSummary& s, std::span<const double> globals);

// The near-singularity warnings of a Cholesky factorisation.
void write_warnings(io::TextWriter& console, int count);

}  // namespace estimator
