// The plain path: the kernels on one plot at a time, in ordinary doubles.
#include "estimator/lanes/plain_lanes.hpp"

#define GROWTH_LANES plain
#include "estimator/lanes/path_kernels-inl.hpp"
