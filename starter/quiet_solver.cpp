#include "starter/quiet_solver.hpp"

#include <glog/logging.h>

namespace starter {

void silence_solver_logging() {
  // Only a fatal message, which ends the process, would still be written.
  FLAGS_minloglevel = google::GLOG_FATAL;
  FLAGS_stderrthreshold = google::GLOG_FATAL;
}

ceres::GradientProblemSolver::Options bfgs_options(double gradient_tolerance) {
  ceres::GradientProblemSolver::Options options;
  options.line_search_direction_type = ceres::BFGS;
  options.logging_type = ceres::SILENT;
  options.max_num_iterations = 300;
  options.function_tolerance = 1e-11;
  options.gradient_tolerance = gradient_tolerance;
  options.parameter_tolerance = 1e-10;
  return options;
}

}  // namespace starter
