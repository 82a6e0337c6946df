// What the optimiser tells whoever watches it, in the order it happens: a
// trial pass begins at a step length; a monitored plot's objective and trial
// locals; near-singularity warnings of a factorisation; an iteration's
// summary; and, for progress displays, which pass is running and how far it
// has come.
#pragma once

#include <span>

namespace estimator {

struct IterationSummary {
  int k = 0;           // iteration, from 0
  double fold = 0.0;   // the total objective at the accepted point
  int npd = 0;         // local blocks that were not positive definite
  int npd0 = 0;        // 1 when the reduced global Hessian was not
  double dmax = 0.0;   // largest component of the next Newton step
  double gmax = 0.0;   // largest gradient component
  double alpha = 0.0;  // step length taken
};

enum class Pass { trial, derivative, step };

class NewtonMonitor {
 public:
  virtual ~NewtonMonitor() = default;
  virtual void trial(double /*alpha*/) {}
  virtual void plot(int /*id*/, int /*n*/, double /*f*/, std::span<const double> /*trial_locals*/) {}
  virtual void warnings(int /*count*/) {}
  virtual void iteration(const IterationSummary& /*summary*/, std::span<const double> /*globals*/) {}
  // plots_done of plots: called when a pass begins (0) and after each block
  // of plots that it has taken in order.
  virtual void progress(Pass /*pass*/, int /*iteration*/, int /*plots_done*/, int /*plots*/) {}
};

}  // namespace estimator
