// Models 1 to 10 (one local: the asymptote in 1-5, the rate in 6-10) and
// model 13 (two locals: asymptote and rate). Curve positions: 1 asymptote,
// 2 rate, 3 power, 4 start deviation, 5 process deviation, 6 error
// deviation, 7 start age, 8 start level.
#include "model/selection_models.hpp"

namespace model {
namespace {

constexpr Selection<4, 1> kModel1{{2, 3, 5, 6}, {1}};
constexpr Selection<5, 1> kModel2{{2, 3, 5, 6, 7}, {1}};
constexpr Selection<5, 1> kModel3{{2, 3, 5, 6, 8}, {1}};
constexpr Selection<5, 1> kModel4{{2, 3, 4, 5, 6}, {1}};
constexpr Selection<6, 1> kModel5{{2, 3, 4, 5, 6, 7}, {1}};
constexpr Selection<4, 1> kModel6{{1, 3, 5, 6}, {2}};
constexpr Selection<5, 1> kModel7{{1, 3, 5, 6, 7}, {2}};
constexpr Selection<5, 1> kModel8{{1, 3, 5, 6, 8}, {2}};
constexpr Selection<5, 1> kModel9{{1, 3, 4, 5, 6}, {2}};
constexpr Selection<6, 1> kModel10{{1, 3, 4, 5, 6, 7}, {2}};
constexpr Selection<3, 2> kModel13{{3, 5, 6}, {1, 2}};

}  // namespace

#define GROWTH_SELECTION_MODEL(N)                                                                                \
  void trp##N(const Esde&, const Globals& globals, const Locals& locals, Curve& curve) {                         \
    select_curve(kModel##N, globals, locals, curve);                                                             \
  }                                                                                                              \
  void trd##N(const Esde&, const Globals&, const Locals&, const CurveGradient& fgrad, const CurveHessian& fhess, \
              ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {                        \
    gather_derivatives(kModel##N, fgrad, fhess, ggrad, lgrad, hgg, hlg, hll);                                    \
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
