#include <stdexcept>
#include <string>

#include "model/catalogue.hpp"
#include "model/jet_derivatives.hpp"
#include "model/models.hpp"

namespace model {
namespace {

// Run control refuses an invalid model number before the optimiser starts;
// reaching here with one is a fault of the caller.
const ModelEntry& selected_model(const Esde& esde) {
  if (!valid_model(esde.model)) throw std::logic_error("model number " + std::to_string(esde.model) + " out of range");
  return catalogue_entry(esde.model);
}

}  // namespace

void trpars(const Esde& esde, const Globals& globals, const Locals& locals, Curve& curve) {
  selected_model(esde).map(esde, globals, locals, curve);
}

void trders(const Esde& esde, const Globals& globals, const Locals& locals, const CurveGradient& fgrad,
            const CurveHessian& fhess, ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  const ModelEntry& model = selected_model(esde);
  if (model.derivatives != nullptr)
    model.derivatives(esde, globals, locals, fgrad, fhess, ggrad, lgrad, hgg, hlg, hll);
  else
    jet_derivatives(model, esde, globals, locals, fgrad, fhess, ggrad, lgrad, hgg, hlg, hll);
}

}  // namespace model
