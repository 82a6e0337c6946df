// The exponent of a plot's integrand, G(u) = f(theta, u) + P(u) with P the
// population's share (population.hpp), and the derivatives each step of the
// marginal term takes of it, from one pass of the plot objective over Taylor
// polynomials (taylor.hpp):
//   value:  G                                  (plain numbers; the nodes' values)
//   second: G, dG/du, d2G/du2                  (order 2 in u; the mode search)
//   node:   G, dG/du, dG/dphi                  (order 1 in u and theta; the nodes' gradients)
//   mode:   f's derivatives to order 3 in u, with those of order 0, 1, 2 in u
//           also differentiated once in theta  (the gradient at the mode).
#pragma once

#include "model/marginal/plot_function.hpp"
#include "model/marginal/population.hpp"

namespace model::marginal {

template <int NL>
struct Second {
  double G = 0.0;
  Vec<NL> g{};  // dG/du
  Mat<NL> H{};  // d2G/du2
};

template <int NL, int NG>
struct AtNode {
  double G = 0.0;
  Vec<NL> g{};                      // dG/du
  std::array<double, NG> ftheta{};  // df/dtheta (= dG/dtheta)
};

template <int NL, int NG>
struct AtMode {
  double f = 0.0;
  Vec<NL> fu{};
  Mat<NL> fuu{};
  std::array<Mat<NL>, NL> fuuu{};  // fuuu[n] = d/du_n of d2f/du2
  std::array<double, NG> ft{};
  std::array<Vec<NL>, NG> fut{};
  std::array<Mat<NL>, NG> fuut{};  // d/dtheta_i of d2f/du2
};

template <int NL>
Vec<NL> residual(const Population<NL>& pop, const Vec<NL>& u) {
  Vec<NL> r;
  for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) r[l] = u[l] - pop.mu[l];
  return r;
}

template <int NL>
double prior_exponent(const Population<NL>& pop, const Vec<NL>& r) {
  return dot<NL>(r, apply<NL>(pop.omega, r)) + pop.log_det;
}

template <class Fn>
double exponent(const Fn& fn, const Population<Fn::NL>& pop, const Vec<Fn::NL>& u) {
  return fn.value(u) + prior_exponent(pop, residual(pop, u));
}

template <class Fn, int NL = Fn::NL>
Second<NL> second_expansion(const Fn& fn, const Population<NL>& pop, const Vec<NL>& u) {
  const auto f = fn.template taylor<2, false>(u);
  const Vec<NL> r = residual(pop, u);
  const Vec<NL> wr = apply<NL>(pop.omega, r);
  Second<NL> s;
  s.G = f.value() + (dot<NL>(r, wr) + pop.log_det);
  for (int l = 0; l < NL; ++l) {
    s.g[static_cast<std::size_t>(l)] = derivative(f.p, {l}) + 2.0 * wr[static_cast<std::size_t>(l)];
    for (int m = 0; m < NL; ++m) s.H[entry<NL>(l, m)] = derivative(f.p, {l, m}) + 2.0 * pop.omega[entry<NL>(l, m)];
  }
  return s;
}

template <class Fn, int NL = Fn::NL, int NG = Fn::NG>
AtNode<NL, NG> node_expansion(const Fn& fn, const Population<NL>& pop, const Vec<NL>& u) {
  const auto f = fn.template taylor<1, true>(u);
  const Vec<NL> r = residual(pop, u);
  const Vec<NL> wr = apply<NL>(pop.omega, r);
  AtNode<NL, NG> s;
  s.G = f.value() + (dot<NL>(r, wr) + pop.log_det);
  for (int l = 0; l < NL; ++l)
    s.g[static_cast<std::size_t>(l)] = derivative(f.p, {l}) + 2.0 * wr[static_cast<std::size_t>(l)];
  for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) s.ftheta[i] = f.q[i].c[0];
  return s;
}

// f's derivatives at the mode; without Globals those in theta stay 0.
template <bool Globals, class Fn, int NL = Fn::NL, int NG = Fn::NG>
AtMode<NL, NG> mode_expansion(const Fn& fn, const Vec<NL>& u) {
  const auto f = fn.template taylor<3, Globals>(u);
  AtMode<NL, NG> s;
  s.f = f.value();
  for (int l = 0; l < NL; ++l) {
    s.fu[static_cast<std::size_t>(l)] = derivative(f.p, {l});
    for (int m = 0; m < NL; ++m) {
      s.fuu[entry<NL>(l, m)] = derivative(f.p, {l, m});
      for (int n = 0; n < NL; ++n) s.fuuu[static_cast<std::size_t>(n)][entry<NL>(l, m)] = derivative(f.p, {l, m, n});
    }
  }
  if constexpr (Globals) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) {
      s.ft[i] = f.q[i].c[0];
      for (int l = 0; l < NL; ++l) {
        s.fut[i][static_cast<std::size_t>(l)] = derivative(f.q[i], {l});
        for (int m = 0; m < NL; ++m) s.fuut[i][entry<NL>(l, m)] = derivative(f.q[i], {l, m});
      }
    }
  }
  return s;
}

}  // namespace model::marginal
