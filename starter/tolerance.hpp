// A tolerance that the estimator's stopping test can meet.
//
// The estimator stops when the largest step component (DMAX) and the largest
// gradient component (GMAX) are both within the tolerance. GMAX includes the
// gradient of the globals, a sum over all plots, and the estimator accepts a
// step only when the total objective does not rise by more than 1e-10. Near
// the optimum a Newton step lowers the objective by about g^T H^-1 g / 2; once
// that is below the rounding noise dF of the total objective, steps are
// refused and the gradient stops falling. So GMAX cannot be brought below
// about sqrt(2 dF H_ii) for the stiffest global i, where the rounding noise
// of a sum of NP plot objectives taken in order is about
//   dF = eps sum(|f_p|) sqrt(NP) / 3.
// While dF stays below the estimator's slack of 1e-10 steps are never
// refused, and the floor is far below any useful tolerance.
#pragma once

#include <cstdint>

namespace starter {

struct ToleranceInputs {
  std::int64_t plots = 0;
  double objective_magnitude = 0.0;  // sum over all plots of |f_p|
  double largest_curvature = 0.0;    // largest diagonal element of the globals' Hessian
};

// The gradient floor described above, for a problem of this size.
double gradient_floor(const ToleranceInputs& in);

// max(1e-5, 10 x the floor): 1e-5 where the floor allows it, otherwise a
// tolerance an order of magnitude above the floor.
double meetable_tolerance(const ToleranceInputs& in);

}  // namespace starter
