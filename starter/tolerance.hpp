// A tolerance that the estimator's stopping test can meet.
//
// The estimator stops when the largest step component (DMAX) and the largest
// gradient component (GMAX) are both within the tolerance. GMAX includes the
// gradient of the globals, a sum over all plots, and the estimator takes a
// step only when the total objective F does not rise by more than 1e-10.
// Near the optimum a Newton step lowers F by g^T H^-1 g / 2, at least
// GMAX^2 / (2 lambda) with lambda the largest curvature; once that is below
// the rounding noise dF of F, steps are refused (or taken at step lengths
// that change nothing) and GMAX stops falling. So GMAX can always be brought
// down to
//   sqrt(2 dF lambda),   dF = eps sqrt(NP) sum(|f_p|),
// where dF bounds the rounding noise of a sum of NP plot objectives taken in
// order (a random walk of NP roundings of partial sums up to |F|), and
// lambda is taken as the largest diagonal element of the globals' Hessian
// with the locals eliminated. While dF stays below the slack of 1e-10 steps
// are never refused, and the floor is the far smaller rounding floor of the
// gradient itself.
#pragma once

#include <cstdint>

namespace starter {

struct ToleranceInputs {
  std::int64_t plots = 0;
  double objective_magnitude = 0.0;  // sum over all plots of |f_p|
  double largest_curvature = 0.0;    // largest diagonal element of the globals' Hessian
};

// The gradient floor described above, for a problem of this size (0 when
// the estimator never refuses a step for rounding).
double gradient_floor(const ToleranceInputs& in);

// max(1e-5, the floor).
double meetable_tolerance(const ToleranceInputs& in);

}  // namespace starter
