// Full Newton method over the globals and every plot's locals, streaming the
// plots' records of the local-parameter file three times per iteration.
//
// Options in (iteration limit, tolerance, monitoring frequency, threads), a
// summary out (how it ended, iterations, the last iteration's summary); the
// trace goes to the monitor the caller hands in. The optimiser itself never
// prints and never ends the program: failures of the arithmetic come back as
// outcomes, and only failures of the files (which the file layer raises) pass
// through as exceptions.
#pragma once

#include <span>

#include "estimator/newton_monitor.hpp"
#include "estimator/shared_records.hpp"

namespace estimator {

struct NewtonOptions {
  int iteration_limit = 0;  // iterations allowed after the first (which evaluates the start)
  double tolerance = 0.0;   // on both the largest step component and the largest gradient component
  int monitor_every = 0;    // a plot line for every plot whose position is a multiple of it; 0: none
  int threads = 1;          // threads that evaluate the plots; the results do not depend on it
};

enum class NewtonOutcome {
  converged,                 // within the tolerance; every factorisation of the last iteration positive definite
  not_positive_definite,     // within the tolerance, but a factorisation of the last iteration was not
  iteration_limit_exceeded,  // more iterations than the limit allows (also when the last one met the tolerance)
  start_not_finite,          // the objective at the starting values is not finite, or above 1e75
  step_vanished,             // the step length fell to 0 without lowering the objective
};

// The first plot whose objective was not finite in the failed trial pass.
struct BadPlot {
  int iplot = 0;  // 0: every plot's objective was finite (the total was too large)
  int id = 0;
  double f = 0.0;
};

struct NewtonSummary {
  NewtonOutcome outcome = NewtonOutcome::converged;
  int iterations = 0;      // iterations performed, the first included
  IterationSummary last;   // the last iteration's summary (when one was completed)
  int npd = 0;             // factorisations of the last iteration, local and global, not positive definite
  double objective = 0.0;  // start_not_finite: the total objective of the start
  BadPlot bad;             // start_not_finite: the first plot at fault
};

// globals: in starting values, out estimates (the last accepted point).
// hfactor: out the packed factor of the reduced global Hessian. After
// step_vanished every record holds its last accepted locals with no pending
// step, so that a new run can start from the file.
NewtonSummary newton(const Sizes& sizes, const Files& files, const model::Esde& esde, const NewtonOptions& options,
                     model::Globals& globals, GlobalFactor& hfactor, NewtonMonitor& monitor);

}  // namespace estimator
