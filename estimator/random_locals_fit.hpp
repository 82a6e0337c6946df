// The outer optimiser of the random-locals fit: maximum marginal likelihood
// over phi = (globals, mu, psi), minimising the summed marginal terms
// M(phi) = sum_p m_p. Each iteration takes Newton's step on a curvature
// matrix made positive definite (outer_algebra.hpp): at the start the plots'
// scores, B = (1/2) sum_p g_p g_p', from 100 plots per outer parameter up
// (a forward difference Hessian below), then that matrix carried along by the
// BFGS update after full steps, a difference Hessian of the exact gradient
// formed anew after a shortened or doubled step (forward differences) and
// before convergence is declared (central differences, which also give the
// standard errors); the BHHH step -B^-1 g when a plot fails on the way to a
// Hessian. A backtracking line search (halving, Armijo constant 1e-4)
// follows; each trial pass also forms the gradient. Every pass writes each
// plot's mode into its record, from which the next pass starts its search.
// Each ln sigma is held at or above ln(1e-4 |mu|), and the correlation of two
// locals within +-0.9999: a parameter held there is a boundary estimate, left
// out of the step while the objective still falls beyond the bound. When a plot has no usable mode at the start, the
// starting deviations are halved, up to 6 times.
//
// Options in, a summary out, the trace through the monitor; it never prints
// and never ends the program.
#pragma once

#include <span>

#include "estimator/marginal_pass.hpp"

namespace estimator {

struct MarginalOptions {
  int iteration_limit = 0;  // iterations allowed after the first (which evaluates the start)
  double tolerance = 0.0;   // converged when the largest component of the step is at most this
};

enum class MarginalOutcome {
  converged,                 // the step within the tolerance, or no lower point within rounding
  iteration_limit_exceeded,  // more iterations than the limit allows
  plot_failed,               // a plot's mode could not be found at the start
  step_vanished,             // the step length fell to 0 without lowering the objective
};

struct MarginalIteration {
  int k = 0;               // iteration, from 0
  double objective = 0.0;  // M at the accepted point
  double dmax = 0.0;       // largest component of the next step
  double gmax = 0.0;       // largest gradient component
  double alpha = 0.0;      // step length taken to reach this point
};

class MarginalMonitor {
 public:
  virtual ~MarginalMonitor() = default;
  virtual void iteration(const MarginalIteration& /*summary*/, std::span<const double> /*phi*/) {}
};

struct MarginalSummary {
  MarginalOutcome outcome = MarginalOutcome::converged;
  int iterations = 0;  // iterations performed, the first included
  MarginalIteration last;
  FailedPlot failed;                                                 // plot_failed: the plot at fault
  std::array<bool, model::marginal::kMaxMarginalLocals> boundary{};  // ln sigma held at its bound
  bool correlation_boundary = false;                                 // two locals: z held at its bound
  OuterMatrix hessian{};      // outer_hessian at the estimates (any outcome but plot_failed)
  FailedPlot hessian_failed;  // a plot that failed on the way to `hessian`
};

// phi: in starting values, out estimates (the last accepted point).
MarginalSummary random_locals_fit(PassPipeline& pipeline, const MarginalProblem& problem,
                                  const MarginalOptions& options, model::marginal::Outer& phi,
                                  MarginalMonitor& monitor);

// The Hessian of M at phi by central differences of its exact gradient (two
// passes per outer parameter, steps 1e-4 max(1, |phi_j|)), symmetrised; by
// forward differences from `at`, the totals of a pass at phi, when it is
// given (one pass per outer parameter, two for one within a step of 0). The
// records are not rewritten.
// `failed` is set when a plot fails on the way.
OuterMatrix outer_hessian(PassPipeline& pipeline, const MarginalProblem& problem, const model::marginal::Outer& phi,
                          FailedPlot& failed, const MarginalTotals* at = nullptr);

}  // namespace estimator
