// Everything the marginal likelihood takes of the model catalogue and of the
// plot objective, in one place: the objective's own exp and log and its
// constant ln(2 pi), the numbers of globals and locals of a model, a call of
// templated code with the model number as a constant of the code, and the
// map from the globals g and a plot's locals l to its eight curve parameters
// written for any number type (numbers or Taylor polynomials), so that
// derivatives of every order follow the map's chain rule by themselves. The
// map is read off the model's catalogue row (catalogue.hpp), as trpars does:
// each parameter at its curve position, then the tied asymptote
//   a = a_intercept + a_slope b   or   a = a_scale b^a_exponent,
// then the fixed start t0 = 0.5 / K1, y0 = (1.3 / K2)^c; everything else 0.
// Powers are exp(y log x) with the objective's exp and log.
#pragma once

#include <stdexcept>
#include <type_traits>
#include <utility>

#include "model/catalogue.hpp"
#include "model/lanes/objective_math.hpp"
#include "model/likelihood.hpp"
#include "model/model_records.hpp"
#include "model/model_table.hpp"

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

// The curve element at `position` as the catalogue's row of the model makes
// it: a local or a global the row names there, else 0 (the tie and the fixed
// start are set after).
template <int Model>
constexpr int local_at(int position) {
  const ModelEntry& m = catalogue_entry(Model);
  for (int i = 0; i < m.nl(); ++i)
    if (curve_position(m.locals[static_cast<std::size_t>(i)]) == position) return i;
  return -1;
}
template <int Model>
constexpr int global_at(int position) {
  const ModelEntry& m = catalogue_entry(Model);
  for (int i = 0; i < m.ng(); ++i)
    if (curve_position(m.globals[static_cast<std::size_t>(i)]) == position) return i;
  return -1;
}

// Whether the element varies with the locals: a local itself, or the
// asymptote tied to the local rate.
template <int Model>
constexpr bool from_locals(int position) {
  return local_at<Model>(position) >= 0 || (position == kCurveA && catalogue_entry(Model).tied != TiedAsymptote::none);
}

template <int Model, int Position, class T, class TG, class TL>
T curve_element(const TG* g, const TL* l) {
  if constexpr (constexpr int k = local_at<Model>(Position); k >= 0)
    return l[k];
  else if constexpr (constexpr int j = global_at<Model>(Position); j >= 0)
    return g[j];
  else
    return constant_of<T>(0.0);
}

template <int Model, class TG, class TL>
auto curve_map(const Esde& esde, const TG* g, const TL* l) {
  constexpr const ModelEntry& m = catalogue_entry(Model);
  using TA = std::conditional_t<from_locals<Model>(kCurveA), TL, TG>;
  using TB = std::conditional_t<from_locals<Model>(kCurveB), TL, TG>;
  CurveOf<TA, TB, TG> curve{curve_element<Model, kCurveA, TA>(g, l),  curve_element<Model, kCurveB, TB>(g, l),
                            curve_element<Model, kCurveC, TG>(g, l),  curve_element<Model, kCurveS0, TG>(g, l),
                            curve_element<Model, kCurveSp, TG>(g, l), curve_element<Model, kCurveSe, TG>(g, l),
                            curve_element<Model, kCurveT0, TG>(g, l), curve_element<Model, kCurveY0, TG>(g, l)};
  if constexpr (m.tied == TiedAsymptote::linear)
    curve.a = g[m.global_index(Role::a_intercept)] + g[m.global_index(Role::a_slope)] * curve.b;
  else if constexpr (m.tied == TiedAsymptote::power)
    curve.a = g[m.global_index(Role::a_scale)] * exp_of(g[m.global_index(Role::a_exponent)] * log_of(curve.b));
  if constexpr (m.fixed_start) {
    curve.t0 = constant_of<TG>(0.5 / esde.k1);
    curve.y0 = exp_of(curve.c * log_of(1.3 / esde.k2));
  }
  return curve;
}

// Models whose one local is the asymptote, which enters nothing else.
constexpr bool asymptote_only(int model) {
  const ModelEntry& m = catalogue_entry(model);
  return m.nl() == 1 && m.locals[0] == Role::a;
}

}  // namespace model::marginal
