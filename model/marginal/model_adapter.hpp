// Everything the marginal likelihood takes of the model catalogue and of the
// plot objective, in one place: the objective's own exp and log and its
// constant ln(2 pi), the numbers of globals and locals of a model, a call of
// templated code with the model number as a constant of the code, and the
// map from the globals g
// and a plot's locals l to its eight curve parameters written for any number
// type (numbers or Taylor polynomials), so that derivatives of every order
// follow the map's chain rule by themselves. The map is the catalogue's
// (trpars):
//   1-5   a = l1; b = g1, c = g2, then (sigma_p, sigma_e) = (g3, g4) with
//         t0 = g5 (2) or y0 = g5 (3), or (sigma0, sigma_p, sigma_e) =
//         (g3, g4, g5) with t0 = g6 (5);
//   6-10  the same with a = g1 and b = l1;
//   11    a = g1 + g2 l1, b = l1, c = g3, sigma_p = g4, sigma_e = g5;
//   12    a = g1 l1^g2, otherwise as 11;
//   13    a = l1, b = l2, c = g1, sigma_p = g2, sigma_e = g3;
//   14-18 as 1, 6, 11, 12, 13 with t0 = 0.5 / K1 and y0 = (1.3 / K2)^c.
// Everything not named is 0. Powers are exp(y log x) with the objective's
// exp and log.
#pragma once

#include <stdexcept>
#include <type_traits>
#include <utility>

#include "model/lanes/objective_math.hpp"
#include "model/likelihood.hpp"
#include "model/model_table.hpp"
#include "model/model_records.hpp"

namespace model::marginal {

// The objective's exp and log (their values do not depend on the machine)
// and its ln(2 pi), taken once per measurement.
inline double exp_of(double x) { return objective_exp(x); }
inline double log_of(double x) { return objective_log(x); }
inline constexpr double kObjectiveLog2Pi = kLog2Pi;

inline constexpr int kCatalogueModels = kModelCount;

constexpr int model_globals(int model) { return model_counts(model).ng; }
constexpr int model_locals(int model) { return model_counts(model).nl; }

// f(std::integral_constant<int, model>{}) for a model of the catalogue.
template <class F>
decltype(auto) visit_model(int model, F&& f) {
  if (!valid_model(model)) throw std::logic_error("model number out of range");
  return [&]<int... M>(std::integer_sequence<int, M...>)->decltype(auto) {
    using Result = decltype(f(std::integral_constant<int, 1>{}));
    if constexpr (std::is_void_v<Result>) {
      static_cast<void>(((model == M + 1 ? (f(std::integral_constant<int, M + 1>{}), true) : false) || ...));
    } else {
      Result r{};
      static_cast<void>(((model == M + 1 ? (r = f(std::integral_constant<int, M + 1>{}), true) : false) || ...));
      return r;
    }
  }
  (std::make_integer_sequence<int, kCatalogueModels>{});
}

// The curve parameters, a and b of the types their model gives them.
template <class TA, class TB, class TG>
struct CurveOf {
  TA a;
  TB b;
  TG c, s0, sp, se, t0, y0;
};

template <class T>
T constant_of(double v) {
  if constexpr (std::is_same_v<T, double>)
    return v;
  else
    return T(v);
}

constexpr int base_model(int model) {
  constexpr int kBase[5] = {1, 6, 11, 12, 13};
  return model >= 14 ? kBase[model - 14] : model;
}

// Models 1 to 10: `first` is the global that is b (1-5) or a (6-10).
template <int Variant, class TG>
void selection_deviations(const TG* g, CurveOf<TG, TG, TG>& shape) {
  const TG zero = constant_of<TG>(0.0);
  shape.s0 = Variant >= 4 ? g[2] : zero;
  shape.sp = Variant >= 4 ? g[3] : g[2];
  shape.se = Variant >= 4 ? g[4] : g[3];
  shape.t0 = Variant == 2 ? g[4] : Variant == 5 ? g[5] : zero;
  shape.y0 = Variant == 3 ? g[4] : zero;
}

template <int Model, class TG, class TL>
auto base_curve(const TG* g, const TL* l) {
  constexpr int kBase = base_model(Model);
  const TG zero = constant_of<TG>(0.0);
  if constexpr (kBase <= 10) {
    CurveOf<TG, TG, TG> s{zero, g[0], g[1], zero, zero, zero, zero, zero};
    selection_deviations<(kBase - 1) % 5 + 1>(g, s);
    if constexpr (kBase <= 5)
      return CurveOf<TL, TG, TG>{l[0], g[0], s.c, s.s0, s.sp, s.se, s.t0, s.y0};
    else
      return CurveOf<TG, TL, TG>{g[0], l[0], s.c, s.s0, s.sp, s.se, s.t0, s.y0};
  } else if constexpr (kBase == 11) {
    return CurveOf<TL, TL, TG>{g[0] + g[1] * l[0], l[0], g[2], zero, g[3], g[4], zero, zero};
  } else if constexpr (kBase == 12) {
    return CurveOf<TL, TL, TG>{g[0] * exp_of(g[1] * log_of(l[0])), l[0], g[2], zero, g[3], g[4], zero, zero};
  } else {
    return CurveOf<TL, TL, TG>{l[0], l[1], g[0], zero, g[1], g[2], zero, zero};
  }
}

template <int Model, class TG, class TL>
auto curve_map(const Esde& esde, const TG* g, const TL* l) {
  auto curve = base_curve<Model>(g, l);
  if constexpr (Model >= 14) {
    curve.t0 = constant_of<TG>(0.5 / esde.k1);
    curve.y0 = exp_of(curve.c * log_of(1.3 / esde.k2));
  }
  return curve;
}

}  // namespace model::marginal
