#include "starter/tolerance.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace starter {

namespace {
constexpr double kSmallestTolerance = 1e-5;
constexpr double kAcceptanceSlack = 1e-10;  // the estimator's slack on a rise of the objective
}  // namespace

double gradient_floor(const ToleranceInputs& in) {
  const double eps = std::numeric_limits<double>::epsilon();
  const double noise = eps * in.objective_magnitude * std::sqrt(static_cast<double>(in.plots));
  if (noise < kAcceptanceSlack) return 0.0;
  return std::sqrt(2.0 * noise * std::max(in.largest_curvature, 0.0));
}

double meetable_tolerance(const ToleranceInputs& in) { return std::max(kSmallestTolerance, gradient_floor(in)); }

}  // namespace starter
