// What each path's kernel file offers: the objective, the derivatives for
// every set of kDerivativeSets, and the lane math. The path is chosen at run
// time (likelihood_kernels.cpp).
#pragma once

#include <array>

#include "model/lanes/likelihood_kernels.hpp"

namespace model::lanes {

struct PathKernels {
  int width;
  FunctKernel funct;
  std::array<DersKernel, kDerivativeSets.size()> ders;
  LaneMath math;
};

namespace plain {
const PathKernels& path_kernels();
}
namespace avx2 {
const PathKernels& path_kernels();
}

}  // namespace model::lanes
