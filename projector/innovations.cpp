#include "projector/innovations.hpp"

#include "estimator/innovations.hpp"

namespace projector {

void innovations(const estimator::Curve& curve, int n, const double* t, const double* h, Innovation* out) {
  int i = 0;
  estimator::innovations(curve, n, t, h, [&](double r, double v) { out[i++] = {r, v}; });
}

}  // namespace projector
