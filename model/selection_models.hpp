// Selection models: every curve parameter is one global, one local or zero.
// Such a model is described by the curve position of each global and of each
// local; its derivative transformation is a gather of curve derivatives.
#pragma once

#include <array>

#include "model/model_terms.hpp"
#include "model/models.hpp"

namespace model {

template <int NG, int NL>
struct Selection {
  std::array<int, NG> kg;  // curve position of each global (increasing)
  std::array<int, NL> kl;  // curve position of each local (increasing)
};

template <int NG, int NL>
inline void select_curve(const Selection<NG, NL>& s, const Globals& globals, const Locals& locals, Curve& curve) {
  curve.fill(0.0);
  for (int i = 0; i < NG; ++i) curve[static_cast<std::size_t>(s.kg[i] - 1)] = globals[static_cast<std::size_t>(i)];
  for (int l = 0; l < NL; ++l) curve[static_cast<std::size_t>(s.kl[l] - 1)] = locals[static_cast<std::size_t>(l)];
}

template <int NG, int NL>
inline void gather_derivatives(const Selection<NG, NL>& s, const CurveGradient& fgrad, const CurveHessian& fhess,
                               ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  using terms::F;
  using terms::H;
  for (int i = 1; i <= NG; ++i) ggrad[static_cast<std::size_t>(i - 1)] = F(fgrad, s.kg[i - 1]);
  for (int l = 1; l <= NL; ++l) lgrad[static_cast<std::size_t>(l - 1)] = F(fgrad, s.kl[l - 1]);
  for (int i = 1; i <= NG; ++i)
    for (int j = 1; j <= i; ++j) hgg[terms::packed(i, j)] = H(fhess, s.kg[j - 1], s.kg[i - 1]);
  for (int i = 1; i <= NG; ++i)
    for (int l = 1; l <= NL; ++l) hlg[terms::cross(l, i, NL)] = H(fhess, s.kl[l - 1], s.kg[i - 1]);
  for (int l = 1; l <= NL; ++l)
    for (int k = 1; k <= l; ++k) hll[terms::packed(l, k)] = H(fhess, s.kl[k - 1], s.kl[l - 1]);
}

}  // namespace model
