// trpars maps the globals and one plot's locals onto the plot's eight curve
// parameters (asymptote, rate, power, start deviation, process deviation,
// error deviation, start age, start level); trders carries the derivatives of
// the plot objective with respect to the curve parameters over to the globals
// and locals by the exact chain rule. Both dispatch on the model number of the
// `esde` record they are given to the model's row of the catalogue
// (catalogue.hpp); run control has checked the number (valid_model) before
// the first call.
//
// Outputs of trders: ggrad (ng), lgrad (nl), hgg (packed triangle of order ng),
// hlg (nl x ng, column by column, leading dimension nl), hll (packed triangle
// of order nl). Only the upper triangle of fhess (8 x 8, column by column) is
// read, and only for the curve parameters the model moves.
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

// The hand-written derivative transformations of the catalogue's models: a
// gather for the selection models (selection_models.cpp), closed forms for
// the tied asymptotes (tied_asymptote_models.cpp) and the fixed starts
// (fixed_start_models.cpp).
#define GROWTH_DECLARE_DERIVATIVES(N)                                                                     \
  void trd##N(const Esde& esde, const Globals& globals, const Locals& locals, const CurveGradient& fgrad, \
              const CurveHessian& fhess, ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll);
GROWTH_DECLARE_DERIVATIVES(1)
GROWTH_DECLARE_DERIVATIVES(2)
GROWTH_DECLARE_DERIVATIVES(3)
GROWTH_DECLARE_DERIVATIVES(4)
GROWTH_DECLARE_DERIVATIVES(5)
GROWTH_DECLARE_DERIVATIVES(6)
GROWTH_DECLARE_DERIVATIVES(7)
GROWTH_DECLARE_DERIVATIVES(8)
GROWTH_DECLARE_DERIVATIVES(9)
GROWTH_DECLARE_DERIVATIVES(10)
GROWTH_DECLARE_DERIVATIVES(11)
GROWTH_DECLARE_DERIVATIVES(12)
GROWTH_DECLARE_DERIVATIVES(13)
GROWTH_DECLARE_DERIVATIVES(14)
GROWTH_DECLARE_DERIVATIVES(15)
GROWTH_DECLARE_DERIVATIVES(16)
GROWTH_DECLARE_DERIVATIVES(17)
GROWTH_DECLARE_DERIVATIVES(18)
#undef GROWTH_DECLARE_DERIVATIVES

}  // namespace model
