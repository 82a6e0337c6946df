// The plot objective: minus twice the log-likelihood of one plot's heights
// given its eight curve parameters (a, b, c, sigma0, sigmap, sigmae, t0, y0),
// and its exact first and second derivatives with respect to them. Both read
// the plot's measurements from the data file through rdata.
#pragma once

#include "estimator/shared_records.hpp"

namespace estimator {

// Natural logarithm of 2 pi as the objective uses it, once per measurement.
inline constexpr double kLog2Pi = 1.83787706641;

void funct(const int& iplot, const Curve& curve, double& f, int& id, int& n);

// fgrad(k) = df/dcurve(k); fhess (8 x 8, column by column) gets the upper
// triangle (i <= j) only; its strictly lower triangle is left as it was.
void ders(const int& iplot, const Curve& curve, CurveGradient& fgrad, CurveHessian& fhess);

// The same two computations on measurements already in memory.
double plot_objective(const Curve& curve, int n, const double* ages, const double* heights);
void plot_derivatives(const Curve& curve, int n, const double* ages, const double* heights, CurveGradient& fgrad,
                      CurveHessian& fhess);

}  // namespace estimator
