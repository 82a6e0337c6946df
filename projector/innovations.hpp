// The innovations of the plot objective's recursion: R_i, the error of
// predicting the power-scale measurement Y_i from the earlier ones, and V_i,
// its variance. Under the model R_i / sqrt(V_i) are independent standard
// normal: the natural residuals for checking a fit. They come from the plot
// objective's own recursion (model/innovations.hpp), so that
//   f = n ln(2 pi) + sum_i (ln V_i + R_i^2 / V_i) + 2 (1 - c) ln(h_1 ... h_n)
// holds to the last bit.
#pragma once

#include "model/model_records.hpp"

namespace projector {

struct Innovation {
  double r;
  double v;
};

void innovations(const model::Curve& curve, int n, const double* t, const double* h, Innovation* out);

}  // namespace projector
