// The derivative transformations of models 14 to 18: models 1, 6, 11, 12
// and 13 with the start of the growth curve fixed at age 0.5 / K1 and height
// 1.3 / K2 (K1, K2: the two model constants; curve maps in
// curve_maps.cpp). The start level is y0 = r^c with r = 1.3 / K2, so the
// power c gains the terms of dy0/dc = L w and d2y0/dc2 = L L w (w = r^c, L = log r):
//   df/dc       += L w F(8)
//   d2f/du dc   += L w sum_k J(k, u) H(k, 8)   for every other parameter u
//   d2f/dc2     += 2 L w H(3, 8) + (L w)^2 H(8, 8) + L L w F(8)
// where J(k, u) = dcurve(k)/du of the base model.
#include <cmath>

#include "model/model_terms.hpp"
#include "model/models.hpp"
#include "model/power_asymptote.hpp"

namespace model {

using terms::cross;
using terms::F;
using terms::H;
using terms::packed;

namespace {

// The base model's dcurve/du for one parameter u other than the power: a
// coefficient on the asymptote (curve position 1), and a coefficient 1 on one
// other curve position.
struct Column {
  bool on_asymptote;
  double asymptote_coefficient;
  int position;  // 0: none
};

constexpr Column at_position(int k) { return {false, 0.0, k}; }
constexpr Column on_asymptote(double coefficient) { return {true, coefficient, 0}; }
constexpr Column tied(double asymptote_coefficient, int k) { return {true, asymptote_coefficient, k}; }

// L w sum_k J(k, u) H(k, 8), in the grouping the models have always used.
double start_term(double lw, const Column& u, const CurveHessian& fh) {
  if (!u.on_asymptote) return lw * H(fh, u.position, 8);
  if (u.position == 0) return lw * u.asymptote_coefficient * H(fh, 1, 8);
  return lw * (u.asymptote_coefficient * H(fh, 1, 8) + H(fh, u.position, 8));
}

// Adds the fixed start's terms to the base model's results. gc: the global
// that is the power c; globals: the columns of the other globals in order
// (the entry of gc is not read); locals: the columns of the locals.
template <std::size_t NG, std::size_t NL>
void add_start_terms(const Esde& esde, int gc, const std::array<Column, NG>& globals,
                     const std::array<Column, NL>& locals, double c, const CurveGradient& fg, const CurveHessian& fh,
                     ModelOut ggrad, ModelOut hgg, ModelOut hlg) {
  const double r = 1.3 / esde.k2;
  const double w = std::pow(r, c);
  const double log_r = std::log(r);
  const double lw = log_r * w;
  const double llw = log_r * log_r * w;
  ggrad[static_cast<std::size_t>(gc - 1)] += lw * F(fg, 8);
  for (std::size_t u = 1; u <= NG; ++u)
    if (static_cast<int>(u) != gc) hgg[packed(static_cast<int>(u), gc)] += start_term(lw, globals[u - 1], fh);
  hgg[packed(gc, gc)] += 2.0 * lw * H(fh, 3, 8) + lw * lw * H(fh, 8, 8) + llw * F(fg, 8);
  for (std::size_t l = 1; l <= NL; ++l)
    hlg[cross(static_cast<int>(l), gc, static_cast<int>(NL))] += start_term(lw, locals[l - 1], fh);
}

constexpr Column kPower{};  // the entry of the power itself, never read

}  // namespace

void trd14(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd1(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  const std::array<Column, 4> globals{at_position(2), kPower, at_position(5), at_position(6)};
  add_start_terms(esde, 2, globals, std::array<Column, 1>{at_position(1)}, g[1], fg, fh, ggrad, hgg, hlg);
}

void trd15(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd6(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  const std::array<Column, 4> globals{at_position(1), kPower, at_position(5), at_position(6)};
  add_start_terms(esde, 2, globals, std::array<Column, 1>{at_position(2)}, g[1], fg, fh, ggrad, hgg, hlg);
}

void trd16(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd11(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  // a = g1 + g2 l1: da/dg1 = 1, da/dg2 = l1, da/dl1 = g2 (and db/dl1 = 1).
  const std::array<Column, 5> globals{at_position(1), on_asymptote(l[0]), kPower, at_position(5), at_position(6)};
  add_start_terms(esde, 3, globals, std::array<Column, 1>{tied(g[1], 2)}, g[2], fg, fh, ggrad, hgg, hlg);
}

void trd17(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd12(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  const PowerAsymptote t = power_asymptote(g, l);
  const std::array<Column, 5> globals{on_asymptote(t.a1), on_asymptote(t.a2), kPower, at_position(5), at_position(6)};
  add_start_terms(esde, 3, globals, std::array<Column, 1>{tied(t.al, 2)}, g[2], fg, fh, ggrad, hgg, hlg);
}

void trd18(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd13(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  const std::array<Column, 3> globals{kPower, at_position(5), at_position(6)};
  add_start_terms(esde, 1, globals, std::array<Column, 2>{at_position(1), at_position(2)}, g[0], fg, fh, ggrad, hgg,
                  hlg);
}

}  // namespace model
