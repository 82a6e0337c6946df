// The exponential, logarithm and power the plot objective is computed with:
// the lane math of the likelihood kernels, one value at a time. Their results
// depend on the argument alone, on every processor. Code that must reproduce
// the objective's bits (the innovations recursion of the projector's
// residuals) takes its exponentials, logarithms and powers from here.
#pragma once

namespace model {

double objective_exp(double x);
double objective_log(double x);
double objective_pow(double x, double y);

}  // namespace model
