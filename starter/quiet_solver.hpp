// The solver library's own log lines (line-search warnings and the like) are
// silenced: the starter reports what it found in its own words. Its BFGS
// searches share one set of options, silent, with the stopping rules given.
#pragma once

#include <ceres/gradient_problem_solver.h>

namespace starter {

void silence_solver_logging();

// BFGS line searches of at most 300 iterations, stopping when the relative
// change of the objective is below 1e-11, the step's below 1e-10, or the
// gradient's largest component below `gradient_tolerance`.
ceres::GradientProblemSolver::Options bfgs_options(double gradient_tolerance);

}  // namespace starter
