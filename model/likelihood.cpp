// funct and ders for one plot at a time, through the likelihood kernels, so
// that a plot's objective is the same to the last bit wherever it is
// evaluated: in the optimiser's passes, in the report, one plot or many at a
// time. One plot takes the plain path: every path gives the same bits, and
// the vector paths would fill their other lanes with copies of it.
#include "model/likelihood.hpp"

#include "model/lanes/likelihood_kernels.hpp"

namespace model {

double funct(const Curve& curve, int n, const double* ages, const double* heights) {
  const KernelPlot plot{&curve, n, ages, heights};
  double f = 0.0;
  likelihood_kernels(kAllCurveParameters, LanePath::plain).funct({&plot, 1}, {&f, 1});
  return f;
}

void ders(const Curve& curve, int n, const double* ages, const double* heights, CurveGradient& fgrad,
          CurveHessian& fhess) {
  const KernelPlot plot{&curve, n, ages, heights};
  likelihood_kernels(kAllCurveParameters, LanePath::plain).ders({&plot, 1}, {&fgrad, 1}, {&fhess, 1});
}

}  // namespace model
