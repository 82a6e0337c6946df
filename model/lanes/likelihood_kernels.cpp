#include "model/lanes/likelihood_kernels.hpp"

#include <stdexcept>

#include "model/lanes/path_kernels.hpp"

namespace model {
namespace {

const lanes::PathKernels& kernels_of(LanePath path) {
  if (!lane_path_available(path)) throw std::logic_error("the AVX2 path is not available on this processor");
#if GROWTH_HAVE_AVX2_PATH
  if (path == LanePath::avx2) return lanes::avx2::path_kernels();
#endif
  return lanes::plain::path_kernels();
}

}  // namespace

bool lane_path_available(LanePath path) {
  if (path == LanePath::plain) return true;
#if GROWTH_HAVE_AVX2_PATH
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

LanePath best_lane_path() { return lane_path_available(LanePath::avx2) ? LanePath::avx2 : LanePath::plain; }

LikelihoodKernels likelihood_kernels(CurveMask moved, LanePath path) {
  const lanes::PathKernels& k = kernels_of(path);
  const int set = derivative_set_index(moved);
  return {path, k.width, kDerivativeSets[static_cast<std::size_t>(set)], k.funct,
          k.ders[static_cast<std::size_t>(set)]};
}

LaneMath lane_math(LanePath path) { return kernels_of(path).math; }

}  // namespace model
