// The curve maps of the catalogue's rows: a model's globals g and one plot's
// locals l to the plot's curve, every element written, in the order
//   {a, b, c, sigma0, sigma_p, sigma_e, t0, y0}
// (0 where the model neither estimates nor fixes the element). Each map is
// made for values and for jets with the same operations; powers are the C
// library's for values.
#include <cmath>

#include "model/catalogue.hpp"
#include "model/curve_jet.hpp"

namespace model {
namespace {

// The start fixed at age 0.5 / K1 and height 1.3 / K2: y0 = (1.3 / K2)^c on
// the power scale.
template <class T>
void fix_start(const Esde& esde, CurveOf<T>& curve) {
  using std::pow;
  curve[kCurveT0] = T(0.5 / esde.k1);
  curve[kCurveY0] = pow(1.3 / esde.k2, curve[kCurveC]);
}

}  // namespace

// 1-5: local asymptote; 4, 5 estimate the start deviation, 2, 5 the start
// age, 3 the start level.
template <class T>
void trp1(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {l[0], g[0], g[1], o, g[2], g[3], o, o};
}
template <class T>
void trp2(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {l[0], g[0], g[1], o, g[2], g[3], g[4], o};
}
template <class T>
void trp3(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {l[0], g[0], g[1], o, g[2], g[3], o, g[4]};
}
template <class T>
void trp4(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {l[0], g[0], g[1], g[2], g[3], g[4], o, o};
}
template <class T>
void trp5(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {l[0], g[0], g[1], g[2], g[3], g[4], g[5], o};
}

// 6-10: as 1-5 with a global asymptote and a local rate.
template <class T>
void trp6(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {g[0], l[0], g[1], o, g[2], g[3], o, o};
}
template <class T>
void trp7(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {g[0], l[0], g[1], o, g[2], g[3], g[4], o};
}
template <class T>
void trp8(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {g[0], l[0], g[1], o, g[2], g[3], o, g[4]};
}
template <class T>
void trp9(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {g[0], l[0], g[1], g[2], g[3], g[4], o, o};
}
template <class T>
void trp10(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {g[0], l[0], g[1], g[2], g[3], g[4], g[5], o};
}

// 11, 12: local rate, asymptote a = g1 + g2 l1 or a = g1 l1^g2.
template <class T>
void trp11(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {g[0] + g[1] * l[0], l[0], g[2], o, g[3], g[4], o, o};
}
template <class T>
void trp12(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  using std::pow;
  const T o(0.0);
  curve = {g[0] * pow(l[0], g[1]), l[0], g[2], o, g[3], g[4], o, o};
}

// 13: local asymptote and rate.
template <class T>
void trp13(const Esde&, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  const T o(0.0);
  curve = {l[0], l[1], g[0], o, g[1], g[2], o, o};
}

// 14-18: models 1, 6, 11, 12 and 13 with the start fixed.
template <class T>
void trp14(const Esde& esde, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  trp1(esde, g, l, curve);
  fix_start(esde, curve);
}
template <class T>
void trp15(const Esde& esde, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  trp6(esde, g, l, curve);
  fix_start(esde, curve);
}
template <class T>
void trp16(const Esde& esde, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  trp11(esde, g, l, curve);
  fix_start(esde, curve);
}
template <class T>
void trp17(const Esde& esde, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  trp12(esde, g, l, curve);
  fix_start(esde, curve);
}
template <class T>
void trp18(const Esde& esde, const GlobalsOf<T>& g, const LocalsOf<T>& l, CurveOf<T>& curve) {
  trp13(esde, g, l, curve);
  fix_start(esde, curve);
}

// Each map for values and for jets.
#define GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(N)                                                      \
  template void trp##N<double>(const Esde&, const Globals&, const Locals&, Curve&);                  \
  template void trp##N<CurveJet>(const Esde&, const GlobalsOf<CurveJet>&, const LocalsOf<CurveJet>&, \
                                 CurveOf<CurveJet>&);
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(1)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(2)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(3)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(4)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(5)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(6)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(7)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(8)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(9)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(10)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(11)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(12)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(13)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(14)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(15)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(16)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(17)
GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS(18)
#undef GROWTH_CURVE_MAP_FOR_VALUES_AND_JETS

}  // namespace model
