#include <stdexcept>
#include <string>

#include "model/model_table.hpp"
#include "model/models.hpp"

namespace model {
namespace {

struct ModelEntry {
  ParameterTransform trp;
  DerivativeTransform trd;
};

constexpr std::array<ModelEntry, kModelCount> kModels = {{
    {trp1, trd1},
    {trp2, trd2},
    {trp3, trd3},
    {trp4, trd4},
    {trp5, trd5},
    {trp6, trd6},
    {trp7, trd7},
    {trp8, trd8},
    {trp9, trd9},
    {trp10, trd10},
    {trp11, trd11},
    {trp12, trd12},
    {trp13, trd13},
    {trp14, trd14},
    {trp15, trd15},
    {trp16, trd16},
    {trp17, trd17},
    {trp18, trd18},
}};

// Run control refuses an invalid model number before the optimiser starts;
// reaching here with one is a fault of the caller.
const ModelEntry& selected_model(const Esde& esde) {
  if (!valid_model(esde.model)) throw std::logic_error("model number " + std::to_string(esde.model) + " out of range");
  return kModels[static_cast<std::size_t>(esde.model - 1)];
}

}  // namespace

void trpars(const Esde& esde, const Globals& globals, const Locals& locals, Curve& curve) {
  selected_model(esde).trp(esde, globals, locals, curve);
}

void trders(const Esde& esde, const Globals& globals, const Locals& locals, const CurveGradient& fgrad,
            const CurveHessian& fhess, ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  selected_model(esde).trd(esde, globals, locals, fgrad, fhess, ggrad, lgrad, hgg, hlg, hll);
}

}  // namespace model
