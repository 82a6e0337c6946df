// The plot objective: minus twice the log-likelihood of one plot's heights
// given its eight curve parameters (a, b, c, sigma0, sigmap, sigmae, t0, y0),
// and its exact first and second derivatives with respect to them. The caller
// hands over the plot's n measurements (scaled ages and heights, ages not
// decreasing, 1 <= n).
#pragma once

#include "model/model_records.hpp"

namespace model {

// Natural logarithm of 2 pi as the objective uses it, once per measurement.
inline constexpr double kLog2Pi = 1.83787706641;

double funct(const Curve& curve, int n, const double* ages, const double* heights);

// fgrad(k) = df/dcurve(k); fhess (8 x 8, column by column) gets the upper
// triangle (i <= j) only; its strictly lower triangle is left as it was.
void ders(const Curve& curve, int n, const double* ages, const double* heights, CurveGradient& fgrad,
          CurveHessian& fhess);

}  // namespace model
