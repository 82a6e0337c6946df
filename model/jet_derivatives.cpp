#include "model/jet_derivatives.hpp"

#include <array>
#include <span>

#include "model/curve_jet.hpp"
#include "model/matrix_index.hpp"
#include "model/moved_parameters.hpp"

namespace model {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// The curve's derivatives with respect to the model's parameters (u, v from
// 0: the globals, then the locals), and HJ(u, m) = sum_k H(k, m) J(k, u),
// all over the moved curve parameters k, m. A parameter moves one or two
// curve parameters: the sums run over those with J(k, u) != 0 only.
class CurveDerivatives {
 public:
  CurveDerivatives(const ModelEntry& model, const Esde& esde, const Globals& globals, const Locals& locals,
                   const CurveGradient& fgrad, const CurveHessian& fhess)
      : fgrad_(fgrad) {
    const int ng = model.ng(), n = ng + model.nl();
    GlobalsOf<CurveJet> g;
    LocalsOf<CurveJet> l;
    for (int i = 0; i < ng; ++i) g[at(i)] = CurveJet::parameter(globals[at(i)], i, n);
    for (int i = 0; i < model.nl(); ++i) l[at(i)] = CurveJet::parameter(locals[at(i)], ng + i, n);
    model.jets(esde, g, l, curve_);
    const CurveMask moved = moved_parameters(model);
    for (int k = 0; k < kCurveSize; ++k)
      if ((moved & curve_bit(k)) != 0u) moved_[at(moved_count_++)] = k;
    for (int u = 0; u < n; ++u) {
      Reach& r = reach_[at(u)];
      for (int k : moved_span())
        if (J(k, u) != 0.0) r.k[at(r.count++)] = k;
      for (int m : moved_span()) {
        double s = 0.0;
        for (int k : r.span()) s += H(fhess, k, m) * J(k, u);
        hj_[at(u)][at(m)] = s;
      }
    }
  }

  // df/du = sum_k F(k) J(k, u).
  double first(int u) const {
    double s = 0.0;
    for (int k : reach_[at(u)].span()) s += fgrad_[at(k)] * J(k, u);
    return s;
  }
  // d2f/du dv = sum_m HJ(u, m) J(m, v) + sum_k F(k) T(k, u, v).
  double second(int u, int v) const {
    double s = 0.0;
    for (int m : reach_[at(v)].span()) s += hj_[at(u)][at(m)] * J(m, v);
    const std::size_t uv = u >= v ? jet_pair(u, v) : jet_pair(v, u);
    for (int k : moved_span()) s += fgrad_[at(k)] * curve_[at(k)].dd[uv];
    return s;
  }

 private:
  // The curve parameters a parameter moves.
  struct Reach {
    std::array<int, kCurveSize> k{};
    int count = 0;
    std::span<const int> span() const { return {k.data(), at(count)}; }
  };

  std::span<const int> moved_span() const { return {moved_.data(), at(moved_count_)}; }
  double J(int k, int u) const { return curve_[at(k)].d[at(u)]; }
  static double H(const CurveHessian& fhess, int k, int m) {
    return fhess[k <= m ? at(k + kCurveSize * m) : at(m + kCurveSize * k)];
  }

  const CurveGradient& fgrad_;
  CurveOf<CurveJet> curve_;
  std::array<int, kCurveSize> moved_{};
  int moved_count_ = 0;
  std::array<Reach, kMaxJetParameters> reach_{};
  std::array<std::array<double, kCurveSize>, kMaxJetParameters> hj_{};  // by parameter and curve position
};

}  // namespace

void jet_derivatives(const ModelEntry& model, const Esde& esde, const Globals& globals, const Locals& locals,
                     const CurveGradient& fgrad, const CurveHessian& fhess, ModelOut ggrad, ModelOut lgrad,
                     ModelOut hgg, ModelOut hlg, ModelOut hll) {
  const CurveDerivatives d(model, esde, globals, locals, fgrad, fhess);
  const int ng = model.ng(), nl = model.nl();
  for (int i = 0; i < ng; ++i) ggrad[at(i)] = d.first(i);
  for (int l = 0; l < nl; ++l) lgrad[at(l)] = d.first(ng + l);
  for (int i = 0; i < ng; ++i)
    for (int j = 0; j <= i; ++j) hgg[packed(i + 1, j + 1)] = d.second(i, j);
  for (int i = 0; i < ng; ++i)
    for (int l = 0; l < nl; ++l) hlg[column_major(l, i, nl)] = d.second(ng + l, i);
  for (int l = 0; l < nl; ++l)
    for (int k = 0; k <= l; ++k) hll[packed(l + 1, k + 1)] = d.second(ng + l, ng + k);
}

}  // namespace model
