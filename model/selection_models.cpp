// Models 1 to 10 (one local: the asymptote in 1-5, the rate in 6-10) and
// model 13 (two locals: asymptote and rate): the gather of the curve
// derivatives at the positions of their rows' parameters.
#include "model/selection_models.hpp"

namespace model {
namespace {

template <int Model>
void gather_model(const CurveGradient& fgrad, const CurveHessian& fhess, ModelOut ggrad, ModelOut lgrad, ModelOut hgg,
                  ModelOut hlg, ModelOut hll) {
  constexpr const ModelEntry& m = catalogue_entry(Model);
  static constexpr auto kSelection = selection_of<m.ng(), m.nl()>(m);
  static_assert(is_selection(kSelection) && m.tied == TiedAsymptote::none && !m.fixed_start);
  gather_derivatives(kSelection, fgrad, fhess, ggrad, lgrad, hgg, hlg, hll);
}

}  // namespace

#define GROWTH_SELECTION_MODEL(N)                                                                                \
  void trd##N(const Esde&, const Globals&, const Locals&, const CurveGradient& fgrad, const CurveHessian& fhess, \
              ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {                        \
    gather_model<N>(fgrad, fhess, ggrad, lgrad, hgg, hlg, hll);                                                  \
  }

GROWTH_SELECTION_MODEL(1)
GROWTH_SELECTION_MODEL(2)
GROWTH_SELECTION_MODEL(3)
GROWTH_SELECTION_MODEL(4)
GROWTH_SELECTION_MODEL(5)
GROWTH_SELECTION_MODEL(6)
GROWTH_SELECTION_MODEL(7)
GROWTH_SELECTION_MODEL(8)
GROWTH_SELECTION_MODEL(9)
GROWTH_SELECTION_MODEL(10)
GROWTH_SELECTION_MODEL(13)
#undef GROWTH_SELECTION_MODEL

}  // namespace model
