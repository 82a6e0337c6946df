// A plot's objective f(theta, u) at the globals theta, as the marginal term
// takes it: values, and Taylor polynomials of order O in the locals (and in
// the globals when asked for).
//   generic: one pass of the plot objective over the polynomials per call;
//   asymptote only (the one local is the asymptote; plot_objective.hpp): one pass per
//            centre, f(u) = f(u_c) - 2 B dw + C dw^2 at any u after it, with
//            dw = a^c / c - w(u_c) and a = u.
// center(u_c, globals) makes u_c the centre (and the coefficients carry their
// derivatives in theta when `globals` is set); the generic form has none.
// Values and polynomials in theta need a centre set with `globals`.
#pragma once

#include <type_traits>

#include "model/marginal/plot_objective.hpp"
#include "model/marginal/small_matrix.hpp"

namespace model::marginal {

template <int M, bool AsymptoteOnly = asymptote_only(M)>
struct PlotFunction;

// The globals as numbers or as variables of Taylor polynomials.
template <int NG, int O, bool Globals>
auto global_values(const double* theta) {
  using TG = std::conditional_t<Globals, Taylor<0, NG, O>, double>;
  std::array<TG, static_cast<std::size_t>(NG)> g;
  for (int i = 0; i < NG; ++i) {
    if constexpr (Globals)
      g[static_cast<std::size_t>(i)] = global_variable<0, NG, O>(theta[i], i);
    else
      g[static_cast<std::size_t>(i)] = theta[i];
  }
  return g;
}

template <int M>
struct PlotFunction<M, false> {
  static constexpr int NL = model_locals(M);
  static constexpr int NG = model_globals(M);
  const Esde& esde;
  const double* theta;
  const PreparedPlot& plot;

  void center(const Vec<NL>&, bool) {}
  double value(const Vec<NL>& u) const { return plot_objective(curve_map<M>(esde, theta, u.data()), plot); }

  template <int O, bool Globals>
  auto taylor(const Vec<NL>& u) const {
    constexpr int NGJ = Globals ? NG : 0;
    const auto g = global_values<NG, O, Globals>(theta);
    std::array<Taylor<NL, NGJ, O>, NL> l;
    for (int k = 0; k < NL; ++k)
      l[static_cast<std::size_t>(k)] = local_variable<NL, NGJ, O>(u[static_cast<std::size_t>(k)], k);
    return plot_objective(curve_map<M>(esde, g.data(), l.data()), plot);
  }
};

// A first-order polynomial in theta alone as one of order O.
template <int O, int NG>
Taylor<0, NG, O> with_order(const Taylor<0, NG, 1>& x) {
  Taylor<0, NG, O> r(x.value());
  for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) r.q[i].c[0] = x.q[i].c[0];
  return r;
}

template <int M>
struct PlotFunction<M, true> {
  static constexpr int NL = 1;
  static constexpr int NG = model_globals(M);
  using Dual = Taylor<0, NG, 1>;
  const Esde& esde;
  const double* theta;
  const PreparedPlot& plot;
  AsymptoteForm<double> form{};
  AsymptoteForm<Dual> dual{};

  // With `globals`, the numbers are the values of the polynomials (the same bits).
  void center(const Vec<1>& u, bool globals) {
    if (!globals) {
      form = asymptote_form(curve_map<M>(esde, theta, u.data()), plot);
      return;
    }
    const auto g = global_values<NG, 1, true>(theta);
    const Dual a(u[0]);
    dual = asymptote_form(curve_map<M>(esde, g.data(), &a), plot);
    form = {dual.f.value(), dual.b.value(), dual.c.value(), dual.w.value(), dual.power.value()};
  }

  double value(const Vec<1>& u) const {
    const double dw = exp_of(form.power * log_of(u[0])) / form.power - form.w;
    return form.f + dw * (form.c * dw - 2.0 * form.b);
  }

  template <int O, bool Globals>
  auto taylor(const Vec<1>& u) const {
    if constexpr (Globals) {
      const auto a = local_variable<1, NG, O>(u[0], 0);
      const auto power = with_order<O>(dual.power);
      const auto dw = exp_of(power * log_of(a)) / power - with_order<O>(dual.w);
      return with_order<O>(dual.f) + dw * (with_order<O>(dual.c) * dw - 2.0 * with_order<O>(dual.b));
    } else {
      const auto a = local_variable<1, 0, O>(u[0], 0);
      const auto dw = exp_of(form.power * log_of(a)) / form.power - form.w;
      return form.f + dw * (form.c * dw - 2.0 * form.b);
    }
  }
};

}  // namespace model::marginal
