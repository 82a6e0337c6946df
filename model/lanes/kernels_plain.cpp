// The plain path: the kernels on one plot at a time, in ordinary doubles.
#include "model/lanes/plain_lanes.hpp"

#define GROWTH_LANES plain
#include "model/lanes/path_kernels-inl.hpp"

#include "model/lanes/objective_math.hpp"

namespace model {

double objective_exp(double x) { return lanes::plain::math::exp(x); }
double objective_log(double x) { return lanes::plain::math::log(x); }
double objective_pow(double x, double y) { return lanes::plain::math::pow(x, y); }

}  // namespace model
