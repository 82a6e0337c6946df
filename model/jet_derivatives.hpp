// The derivative transformation of any row of the catalogue, taken from its
// curve map through jets (curve_jet.hpp): with J(k, u) = dcurve(k)/du and
// T(k, u, v) = d2curve(k)/du dv at the given globals and locals, for the
// model's estimated parameters u, v (globals, then locals),
//   df/du      = sum_k F(k) J(k, u),
//   d2f/du dv  = sum_k,m H(k, m) J(k, u) J(m, v) + sum_k F(k) T(k, u, v),
// k and m over the curve parameters the model moves (F = fgrad, H = fhess
// read from its upper triangle). trders uses it for a row without a
// hand-written trdN; the outputs are laid out as trders lays them out.
#pragma once

#include "model/catalogue.hpp"

namespace model {

void jet_derivatives(const ModelEntry& model, const Esde& esde, const Globals& globals, const Locals& locals,
                     const CurveGradient& fgrad, const CurveHessian& fhess, ModelOut ggrad, ModelOut lgrad,
                     ModelOut hgg, ModelOut hlg, ModelOut hll);

}  // namespace model
