#include "starter/quiet_solver.hpp"

#include <glog/logging.h>

namespace starter {

void silence_solver_logging() {
  // Only a fatal message, which ends the process, would still be written.
  FLAGS_minloglevel = google::GLOG_FATAL;
  FLAGS_stderrthreshold = google::GLOG_FATAL;
}

}  // namespace starter
