// The derivative transformations of models 11 and 12: the local is the
// plot's rate b, and the plot's asymptote is a function of it: a = g1 + g2 l1
// (model 11) or a = g1 l1^g2 (model 12). Power c = g3, process deviation g4,
// error deviation g5; the rest is zero (curve maps in curve_maps.cpp).
#include <cmath>

#include "model/model_terms.hpp"
#include "model/models.hpp"
#include "model/power_asymptote.hpp"

namespace model {

using terms::cross;
using terms::F;
using terms::H;
using terms::packed;

void trd11(const Esde&, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  const double g2 = g[1];
  const double l1 = l[0];
  ggrad[0] = F(fg, 1);
  ggrad[1] = l1 * F(fg, 1);
  ggrad[2] = F(fg, 3);
  ggrad[3] = F(fg, 5);
  ggrad[4] = F(fg, 6);
  lgrad[0] = g2 * F(fg, 1) + F(fg, 2);

  hgg[packed(1, 1)] = H(fh, 1, 1);
  hgg[packed(2, 1)] = l1 * H(fh, 1, 1);
  hgg[packed(2, 2)] = l1 * l1 * H(fh, 1, 1);
  hgg[packed(3, 1)] = H(fh, 1, 3);
  hgg[packed(3, 2)] = l1 * H(fh, 1, 3);
  hgg[packed(3, 3)] = H(fh, 3, 3);
  hgg[packed(4, 1)] = H(fh, 1, 5);
  hgg[packed(4, 2)] = l1 * H(fh, 1, 5);
  hgg[packed(4, 3)] = H(fh, 3, 5);
  hgg[packed(4, 4)] = H(fh, 5, 5);
  hgg[packed(5, 1)] = H(fh, 1, 6);
  hgg[packed(5, 2)] = l1 * H(fh, 1, 6);
  hgg[packed(5, 3)] = H(fh, 3, 6);
  hgg[packed(5, 4)] = H(fh, 5, 6);
  hgg[packed(5, 5)] = H(fh, 6, 6);

  // d2a / dg2 dl1 = 1 gives the term F(1) of (l1, g2).
  hlg[cross(1, 1, 1)] = g2 * H(fh, 1, 1) + H(fh, 1, 2);
  hlg[cross(1, 2, 1)] = l1 * (g2 * H(fh, 1, 1) + H(fh, 1, 2)) + F(fg, 1);
  hlg[cross(1, 3, 1)] = g2 * H(fh, 1, 3) + H(fh, 2, 3);
  hlg[cross(1, 4, 1)] = g2 * H(fh, 1, 5) + H(fh, 2, 5);
  hlg[cross(1, 5, 1)] = g2 * H(fh, 1, 6) + H(fh, 2, 6);

  hll[0] = g2 * g2 * H(fh, 1, 1) + 2.0 * g2 * H(fh, 1, 2) + H(fh, 2, 2);
}

void trd12(const Esde&, const Globals& g, const Locals& l, const CurveGradient& fg, const CurveHessian& fh,
           ModelOut ggrad, ModelOut lgrad, ModelOut hgg, ModelOut hlg, ModelOut hll) {
  const double g1 = g[0];
  const double g2 = g[1];
  const PowerAsymptote t = power_asymptote(g, l);
  const double p = t.p, p1 = t.p1, p2 = t.p2, lambda = t.lambda;
  const double a1 = t.a1, a2 = t.a2, al = t.al;
  const double f1 = F(fg, 1);

  ggrad[0] = a1 * f1;
  ggrad[1] = a2 * f1;
  ggrad[2] = F(fg, 3);
  ggrad[3] = F(fg, 5);
  ggrad[4] = F(fg, 6);
  lgrad[0] = al * f1 + F(fg, 2);

  hgg[packed(1, 1)] = a1 * a1 * H(fh, 1, 1);
  hgg[packed(2, 1)] = a1 * a2 * H(fh, 1, 1) + p * lambda * f1;
  hgg[packed(2, 2)] = a2 * a2 * H(fh, 1, 1) + g1 * p * lambda * lambda * f1;
  hgg[packed(3, 1)] = a1 * H(fh, 1, 3);
  hgg[packed(3, 2)] = a2 * H(fh, 1, 3);
  hgg[packed(3, 3)] = H(fh, 3, 3);
  hgg[packed(4, 1)] = a1 * H(fh, 1, 5);
  hgg[packed(4, 2)] = a2 * H(fh, 1, 5);
  hgg[packed(4, 3)] = H(fh, 3, 5);
  hgg[packed(4, 4)] = H(fh, 5, 5);
  hgg[packed(5, 1)] = a1 * H(fh, 1, 6);
  hgg[packed(5, 2)] = a2 * H(fh, 1, 6);
  hgg[packed(5, 3)] = H(fh, 3, 6);
  hgg[packed(5, 4)] = H(fh, 5, 6);
  hgg[packed(5, 5)] = H(fh, 6, 6);

  hlg[cross(1, 1, 1)] = a1 * al * H(fh, 1, 1) + a1 * H(fh, 1, 2) + g2 * p1 * f1;
  hlg[cross(1, 2, 1)] = a2 * al * H(fh, 1, 1) + a2 * H(fh, 1, 2) + g1 * p1 * (1.0 + g2 * lambda) * f1;
  hlg[cross(1, 3, 1)] = al * H(fh, 1, 3) + H(fh, 2, 3);
  hlg[cross(1, 4, 1)] = al * H(fh, 1, 5) + H(fh, 2, 5);
  hlg[cross(1, 5, 1)] = al * H(fh, 1, 6) + H(fh, 2, 6);

  hll[0] = al * al * H(fh, 1, 1) + 2.0 * al * H(fh, 1, 2) + H(fh, 2, 2) + g1 * g2 * (g2 - 1.0) * p2 * f1;
}

}  // namespace model
