// Models 14 to 18: models 1, 6, 11, 12 and 13 with the start of the growth
// curve fixed at age 0.5 / K1 and height 1.3 / K2 (K1, K2: the two model
// constants). The start level is y0 = r^c with r = 1.3 / K2, so the power c
// gains the terms of dy0/dc = L w and d2y0/dc2 = L L w (w = r^c, L = log r).
#include <cmath>

#include "estimator/models/model_terms.hpp"
#include "estimator/models/models.hpp"
#include "estimator/models/power_asymptote.hpp"

namespace estimator {

using terms::cross;
using terms::F;
using terms::H;
using terms::packed;

namespace {

void fix_start(const Esde& esde, Curve& curve) {
  curve[6] = 0.5 / esde.k1;
  curve[7] = std::pow(1.3 / esde.k2, curve[2]);
}

struct StartTerms {
  double lw;   // dy0/dc
  double llw;  // d2y0/dc2
};

StartTerms start_terms(const Esde& esde, double c) {
  const double r = 1.3 / esde.k2;
  const double w = std::pow(r, c);
  const double log_r = std::log(r);
  return {log_r * w, log_r * log_r * w};
}

// The element (gc, gc) of hgg: H(3,3) becomes the full second derivative in c.
void power_diagonal(const StartTerms& s, const CurveGradient& fg, const CurveHessian& fh, ModelOut hgg, int gc) {
  hgg[packed(gc, gc)] += 2.0 * s.lw * H(fh, 3, 8) + s.lw * s.lw * H(fh, 8, 8) + s.llw * F(fg, 8);
}

}  // namespace

void trp14(const Esde& esde, const Globals& g, const Locals& l, Curve& curve) {
  trp1(esde, g, l, curve);
  fix_start(esde, curve);
}

void trd14(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd1(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  const StartTerms s = start_terms(esde, g[1]);
  ggrad[1] += s.lw * F(fg, 8);
  hgg[packed(1, 2)] += s.lw * H(fh, 2, 8);
  power_diagonal(s, fg, fh, hgg, 2);
  hgg[packed(2, 3)] += s.lw * H(fh, 5, 8);
  hgg[packed(2, 4)] += s.lw * H(fh, 6, 8);
  hlg[cross(1, 2, 1)] += s.lw * H(fh, 1, 8);
}

void trp15(const Esde& esde, const Globals& g, const Locals& l, Curve& curve) {
  trp6(esde, g, l, curve);
  fix_start(esde, curve);
}

void trd15(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd6(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  const StartTerms s = start_terms(esde, g[1]);
  ggrad[1] += s.lw * F(fg, 8);
  hgg[packed(1, 2)] += s.lw * H(fh, 1, 8);
  power_diagonal(s, fg, fh, hgg, 2);
  hgg[packed(2, 3)] += s.lw * H(fh, 5, 8);
  hgg[packed(2, 4)] += s.lw * H(fh, 6, 8);
  hlg[cross(1, 2, 1)] += s.lw * H(fh, 2, 8);
}

void trp16(const Esde& esde, const Globals& g, const Locals& l, Curve& curve) {
  trp11(esde, g, l, curve);
  fix_start(esde, curve);
}

void trd16(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd11(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  const StartTerms s = start_terms(esde, g[2]);
  const double l1 = l[0];
  ggrad[2] += s.lw * F(fg, 8);
  hgg[packed(1, 3)] += s.lw * H(fh, 1, 8);
  hgg[packed(2, 3)] += s.lw * l1 * H(fh, 1, 8);
  power_diagonal(s, fg, fh, hgg, 3);
  hgg[packed(3, 4)] += s.lw * H(fh, 5, 8);
  hgg[packed(3, 5)] += s.lw * H(fh, 6, 8);
  hlg[cross(1, 3, 1)] += s.lw * (g[1] * H(fh, 1, 8) + H(fh, 2, 8));
}

void trp17(const Esde& esde, const Globals& g, const Locals& l, Curve& curve) {
  trp12(esde, g, l, curve);
  fix_start(esde, curve);
}

void trd17(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd12(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  const StartTerms s = start_terms(esde, g[2]);
  const PowerAsymptote t = power_asymptote(g, l);
  const double a1 = t.a1, a2 = t.a2, al = t.al;
  ggrad[2] += s.lw * F(fg, 8);
  hgg[packed(1, 3)] += s.lw * a1 * H(fh, 1, 8);
  hgg[packed(2, 3)] += s.lw * a2 * H(fh, 1, 8);
  power_diagonal(s, fg, fh, hgg, 3);
  hgg[packed(3, 4)] += s.lw * H(fh, 5, 8);
  hgg[packed(3, 5)] += s.lw * H(fh, 6, 8);
  hlg[cross(1, 3, 1)] += s.lw * (al * H(fh, 1, 8) + H(fh, 2, 8));
}

void trp18(const Esde& esde, const Globals& g, const Locals& l, Curve& curve) {
  trp13(esde, g, l, curve);
  fix_start(esde, curve);
}

void trd18(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  trd13(esde, g, l, fg, fh, ggrad, lgrad, hgg, hlg, hll);
  const StartTerms s = start_terms(esde, g[0]);
  ggrad[0] += s.lw * F(fg, 8);
  power_diagonal(s, fg, fh, hgg, 1);
  hgg[packed(1, 2)] += s.lw * H(fh, 5, 8);
  hgg[packed(1, 3)] += s.lw * H(fh, 6, 8);
  hlg[cross(1, 1, 2)] += s.lw * H(fh, 1, 8);
  hlg[cross(2, 1, 2)] += s.lw * H(fh, 2, 8);
}

}  // namespace estimator
