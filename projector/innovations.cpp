#include "projector/innovations.hpp"

#include "model/innovations.hpp"

namespace projector {

void innovations(const model::Curve& curve, int n, const double* t, const double* h, Innovation* out) {
  int i = 0;
  model::innovations(curve, n, t, h, [&](double r, double v) { out[i++] = {r, v}; });
}

}  // namespace projector
