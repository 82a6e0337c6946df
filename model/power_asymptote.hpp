// The asymptote a = g1 l1^g2 of models 12 and 17 and its first derivatives.
#pragma once

#include <cmath>

#include "model/model_records.hpp"

namespace model {

struct PowerAsymptote {
  double p;       // l1^g2
  double p1;      // l1^(g2 - 1)
  double p2;      // l1^(g2 - 2)
  double lambda;  // log l1
  double a1;      // da/dg1
  double a2;      // da/dg2
  double al;      // da/dl1
};

inline PowerAsymptote power_asymptote(const Globals& g, const Locals& l) {
  const double g1 = g[0], g2 = g[1], l1 = l[0];
  PowerAsymptote t{};
  t.p = std::pow(l1, g2);
  t.p1 = std::pow(l1, g2 - 1.0);
  t.p2 = std::pow(l1, g2 - 2.0);
  t.lambda = std::log(l1);
  t.a1 = t.p;
  t.a2 = g1 * t.p * t.lambda;
  t.al = g1 * g2 * t.p1;
  return t;
}

}  // namespace model
