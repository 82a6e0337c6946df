// Selection models: every curve parameter is one global, one local or zero.
// Such a model is described by the curve position of each global and of each
// local, read off its row of the catalogue; its derivative transformation is
// a gather of curve derivatives.
#pragma once

#include <array>

#include "model/catalogue.hpp"
#include "model/model_terms.hpp"
#include "model/models.hpp"

namespace model {

template <int NG, int NL>
struct Selection {
  std::array<int, NG> kg;  // curve position of each global, from 1 (increasing)
  std::array<int, NL> kl;  // curve position of each local, from 1 (increasing)
};

// The selection of a row whose parameters are all curve parameters.
template <int NG, int NL>
constexpr Selection<NG, NL> selection_of(const ModelEntry& m) {
  Selection<NG, NL> s{};
  for (int i = 0; i < NG; ++i)
    s.kg[static_cast<std::size_t>(i)] = curve_position(m.globals[static_cast<std::size_t>(i)]) + 1;
  for (int l = 0; l < NL; ++l)
    s.kl[static_cast<std::size_t>(l)] = curve_position(m.locals[static_cast<std::size_t>(l)]) + 1;
  return s;
}

template <int NG, int NL>
constexpr bool is_selection(const Selection<NG, NL>& s) {
  for (std::size_t i = 0; i < s.kg.size(); ++i)
    if (s.kg[i] < 1 || (i > 0 && s.kg[i] <= s.kg[i - 1])) return false;
  for (std::size_t l = 0; l < s.kl.size(); ++l)
    if (s.kl[l] < 1 || (l > 0 && s.kl[l] <= s.kl[l - 1])) return false;
  return true;
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
