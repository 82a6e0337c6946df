// The plot objective and its derivatives for many plots at once. Plots are
// evaluated side by side in the lanes of a vector (four with AVX2, where the
// processor has it; one at a time on the plain path), and the derivatives
// are taken only with respect to the curve parameters the model moves. Every
// plot's results are the same to the last bit whatever the path, the lane and
// the plots it is evaluated with.
//
// The objective takes exp, log and powers from the lane math, whose results
// depend on nothing but the argument. The derivatives take them from the C
// library, lane by lane, and are to the last bit those of the formulas taken
// one plot at a time (c_library_lanes-inl.hpp says why).
#pragma once

#include <span>

#include "model/model_records.hpp"
#include "model/moved_parameters.hpp"

namespace model {

// One plot as the kernels take it: its curve parameters and its n
// measurements (scaled ages, not decreasing, and heights; 1 <= n).
struct KernelPlot {
  const Curve* curve;
  int n;
  const double* ages;
  const double* heights;
};

// f[p]: the objective of plots[p], as `funct` defines it.
using FunctKernel = void (*)(std::span<const KernelPlot> plots, std::span<double> f);

// fgrad[p], fhess[p]: the derivatives of plots[p] as `ders` defines them, for
// the curve parameters of the kernel's set; the entries of the other
// parameters (in the upper triangle of fhess) are set to not-a-number, and
// the strictly lower triangle of fhess is left as it was.
using DersKernel = void (*)(std::span<const KernelPlot> plots, std::span<CurveGradient> fgrad,
                            std::span<CurveHessian> fhess);

enum class LanePath { plain, avx2 };

struct LikelihoodKernels {
  LanePath path;
  int width;        // plots evaluated side by side
  CurveMask moved;  // the curve parameters the derivatives are taken for
  FunctKernel funct;
  DersKernel ders;
};

bool lane_path_available(LanePath path);

// AVX2 where the processor has it, else the plain path.
LanePath best_lane_path();

// The kernels for a model's moved parameters (moved_parameters(model)) on
// the given path, which must be available.
LikelihoodKernels likelihood_kernels(CurveMask moved, LanePath path = best_lane_path());

// The lane math on its own, for tests and benchmarks: out[i] = exp(x[i]),
// ln(x[i]) or x[i]^y[i], the values taken a vector at a time.
struct LaneMath {
  void (*exp)(std::span<const double> x, std::span<double> out);
  void (*log)(std::span<const double> x, std::span<double> out);
  void (*pow)(std::span<const double> x, std::span<const double> y, std::span<double> out);
};
LaneMath lane_math(LanePath path);

}  // namespace model
