// The AVX2 path: the kernels on four plots at a time. This file alone is
// compiled with -mavx2 (and never with -mfma); everything it defines lies in
// the namespace model::lanes::avx2, so no inline function compiled here
// can stand in for one compiled for the plain processor.
#include "model/lanes/avx2_lanes.hpp"

#define GROWTH_LANES avx2
#include "model/lanes/path_kernels-inl.hpp"
