// The model catalogue. trpars maps the globals and one plot's locals onto the
// plot's eight curve parameters (asymptote, rate, power, start deviation,
// process deviation, error deviation, start age, start level); trders carries
// the derivatives of the plot objective with respect to the curve parameters
// over to the globals and locals by the exact chain rule. Both dispatch on the
// model number of the `esde` record they are given; run control has checked it
// (valid_model) before the first call.
//
// Outputs of trders: ggrad (ng), lgrad (nl), hgg (packed triangle of order ng),
// hlg (nl x ng, column by column, leading dimension nl), hll (packed triangle
// of order nl). Only the upper triangle of fhess (8 x 8, column by column) is read.
#pragma once

#include <span>

#include "model/model_records.hpp"

namespace model {

using ModelOut = std::span<double>;

using ParameterTransform = void (*)(const Esde&, const Globals&, const Locals&, Curve&);
using DerivativeTransform = void (*)(const Esde&, const Globals&, const Locals&, const CurveGradient&,
                                     const CurveHessian&, ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg,
                                     ModelOut hll);

void trpars(const Esde& esde, const Globals& globals, const Locals& locals, Curve& curve);
void trders(const Esde& esde, const Globals& globals, const Locals& locals, const CurveGradient& fgrad,
            const CurveHessian& fhess, ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll);

#define GROWTH_DECLARE_MODEL(N)                                                                           \
  void trp##N(const Esde& esde, const Globals& globals, const Locals& locals, Curve& curve);              \
  void trd##N(const Esde& esde, const Globals& globals, const Locals& locals, const CurveGradient& fgrad, \
              const CurveHessian& fhess, ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll);
GROWTH_DECLARE_MODEL(1)
GROWTH_DECLARE_MODEL(2)
GROWTH_DECLARE_MODEL(3)
GROWTH_DECLARE_MODEL(4)
GROWTH_DECLARE_MODEL(5)
GROWTH_DECLARE_MODEL(6)
GROWTH_DECLARE_MODEL(7)
GROWTH_DECLARE_MODEL(8)
GROWTH_DECLARE_MODEL(9)
GROWTH_DECLARE_MODEL(10)
GROWTH_DECLARE_MODEL(11)
GROWTH_DECLARE_MODEL(12)
GROWTH_DECLARE_MODEL(13)
GROWTH_DECLARE_MODEL(14)
GROWTH_DECLARE_MODEL(15)
GROWTH_DECLARE_MODEL(16)
GROWTH_DECLARE_MODEL(17)
GROWTH_DECLARE_MODEL(18)
#undef GROWTH_DECLARE_MODEL

}  // namespace model
