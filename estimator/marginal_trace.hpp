// The console trace of a random-locals fit: one summary per outer iteration
// in the layout of the fixed-locals summaries, with the summed marginal
// terms in place of the objective and the outer parameters (globals, means,
// psi) in place of the globals.
#pragma once

#include "estimator/random_locals_fit.hpp"
#include "io/text_writer.hpp"

namespace estimator {

class ConsoleMarginalTrace : public MarginalMonitor {
 public:
  explicit ConsoleMarginalTrace(io::TextWriter& console) : console_(console) {}
  void iteration(const MarginalIteration& summary, std::span<const double> phi) override;

 private:
  io::TextWriter& console_;
};

}  // namespace estimator
