#include "model/jet_derivatives.hpp"

#include "model/curve_jet.hpp"
#include "model/matrix_index.hpp"
#include "model/moved_parameters.hpp"

namespace model {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// The curve and its derivatives with respect to the model's n parameters.
class CurveDerivatives {
 public:
  CurveDerivatives(const ModelEntry& model, const Esde& esde, const Globals& globals, const Locals& locals,
                   const CurveGradient& fgrad, const CurveHessian& fhess)
      : ng_(model.ng()), moved_(moved_parameters(model)), fgrad_(fgrad), fhess_(fhess) {
    const int n = ng_ + model.nl();
    GlobalsOf<CurveJet> g;
    LocalsOf<CurveJet> l;
    for (int i = 0; i < ng_; ++i) g[at(i)] = CurveJet::parameter(globals[at(i)], i, n);
    for (int i = 0; i < model.nl(); ++i) l[at(i)] = CurveJet::parameter(locals[at(i)], ng_ + i, n);
    model.jets(esde, g, l, curve_);
  }

  // df/du and d2f/du dv, u and v counted from 0 over the globals, then the locals.
  double first(int u) const {
    double s = 0.0;
    for (int k = 0; k < kCurveSize; ++k)
      if (moved(k) && J(k, u) != 0.0) s += fgrad_[at(k)] * J(k, u);
    return s;
  }
  double second(int u, int v) const {
    double s = 0.0;
    for (int k = 0; k < kCurveSize; ++k) {
      if (!moved(k)) continue;
      const double t = curve_[at(k)].dd[u >= v ? jet_pair(u, v) : jet_pair(v, u)];
      if (t != 0.0) s += fgrad_[at(k)] * t;
      if (J(k, u) == 0.0) continue;
      for (int m = 0; m < kCurveSize; ++m)
        if (moved(m) && J(m, v) != 0.0) s += H(k, m) * J(k, u) * J(m, v);
    }
    return s;
  }

 private:
  bool moved(int k) const { return (moved_ & curve_bit(k)) != 0u; }
  double J(int k, int u) const { return curve_[at(k)].d[at(u)]; }
  double H(int k, int m) const { return fhess_[k <= m ? at(k + kCurveSize * m) : at(m + kCurveSize * k)]; }

  int ng_;
  CurveMask moved_;
  const CurveGradient& fgrad_;
  const CurveHessian& fhess_;
  CurveOf<CurveJet> curve_;
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
