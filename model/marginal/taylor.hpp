// A truncated Taylor polynomial in a plot's NL locals u (NL = 0, 1 or 2) and
// its NG globals theta: the coefficients of every monomial u^alpha with
// |alpha| <= O, and of every u^alpha theta_i with |alpha| <= O - 1. Monomials
// of degree two or more in theta, or of total degree above O, are dropped;
// they form an ideal, so sums, products and smooth functions of such
// polynomials are the Taylor polynomials of the results:
//   x = P(u) + sum_i theta_i Q_i(u),
//   x y = P_x P_y + sum_i theta_i (P_x Q_yi + Q_xi P_y),
//   g(x) = sum_k g_k dP^k + sum_i theta_i (sum_k k g_k dP^(k-1)) Q_i,
// with dP = P - P(0) and g_k = g^(k)(P(0)) / k!. A coefficient is the
// derivative divided by alpha!: d^2 x / du1 du2 = c(u1 u2), d^2 x / du1^2 =
// 2 c(u1^2), d^3 x / du1^2 dtheta_i = 2 c(u1^2 theta_i).
//
// The value (the constant coefficient) is always the double computation of
// the same expression: products and sums of values, a quotient a0 / b0, and
// the objective's own exp and log (objective_math.hpp), so that a value does
// not depend on which derivatives are carried with it, nor on the machine.
// NL = 0 is a quantity of the globals alone (a value and a gradient), which
// mixes with quantities of the locals.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <utility>

#include "model/marginal/model_adapter.hpp"

namespace model::marginal {

// Monomials of degree <= d in nl variables, in graded order: 1; u1, u2;
// u1^2, u1 u2, u2^2; u1^3, u1^2 u2, u1 u2^2, u2^3.
constexpr int monomial_count(int nl, int d) {
  return d < 0 ? 0 : nl == 0 ? 1 : nl == 1 ? d + 1 : (d + 1) * (d + 2) / 2;
}

struct Exponents {
  int i = 0;  // of u1
  int j = 0;  // of u2
};

constexpr Exponents exponents_of(int nl, int index) {
  if (nl <= 1) return {index, 0};
  int d = 0;
  while ((d + 1) * (d + 2) / 2 <= index) ++d;
  const int j = index - d * (d + 1) / 2;
  return {d - j, j};
}

constexpr int index_of(int nl, Exponents e) {
  if (nl == 0) return 0;
  if (nl == 1) return e.i;
  const int d = e.i + e.j;
  return d * (d + 1) / 2 + e.j;
}

template <int NL, int D>
struct Poly {
  std::array<double, static_cast<std::size_t>(monomial_count(NL, D))> c{};
};

// The terms c[k] += a[i] b[j] of a product of polynomials in NLA and NLB
// variables (each 0 or NLC), truncated at degree DC.
struct ProductTerm {
  int a, b, c;
};

template <int NLA, int DA, int NLB, int DB, int NLC, int DC>
constexpr int product_term_count() {
  int count = 0;
  for (int a = 0; a < monomial_count(NLA, DA); ++a)
    for (int b = 0; b < monomial_count(NLB, DB); ++b) {
      const Exponents ea = exponents_of(NLA, a), eb = exponents_of(NLB, b);
      if (ea.i + ea.j + eb.i + eb.j <= DC) ++count;
    }
  return count;
}

template <int NLA, int DA, int NLB, int DB, int NLC, int DC>
constexpr auto product_terms() {
  std::array<ProductTerm, static_cast<std::size_t>(product_term_count<NLA, DA, NLB, DB, NLC, DC>())> terms{};
  std::size_t n = 0;
  for (int a = 0; a < monomial_count(NLA, DA); ++a)
    for (int b = 0; b < monomial_count(NLB, DB); ++b) {
      const Exponents ea = exponents_of(NLA, a), eb = exponents_of(NLB, b);
      if (ea.i + ea.j + eb.i + eb.j <= DC) terms[n++] = {a, b, index_of(NLC, {ea.i + eb.i, ea.j + eb.j})};
    }
  return terms;
}

// c += a b, truncated to c's degree; every index is a constant of the code.
template <int NLA, int DA, int NLB, int DB, int NLC, int DC>
inline void add_product(const Poly<NLA, DA>& a, const Poly<NLB, DB>& b, Poly<NLC, DC>& c) {
  static constexpr auto kTerms = product_terms<NLA, DA, NLB, DB, NLC, DC>();
  [&]<std::size_t... I>(std::index_sequence<I...>) { ((c.c[kTerms[I].c] += a.c[kTerms[I].a] * b.c[kTerms[I].b]), ...); }
  (std::make_index_sequence<kTerms.size()>{});
}

// The terms of a polynomial's square, each pair of monomials once: c[k] +=
// f a[i] a[j] with i <= j, f = 1 when i = j and 2 otherwise.
struct SquareTerm {
  int a, b, c;
  double factor;
};

template <int NL, int D>
constexpr auto square_terms() {
  constexpr int n = monomial_count(NL, D);
  constexpr int count = [] {
    int k = 0;
    for (int a = 0; a < n; ++a)
      for (int b = a; b < n; ++b) {
        const Exponents ea = exponents_of(NL, a), eb = exponents_of(NL, b);
        if (ea.i + ea.j + eb.i + eb.j <= D) ++k;
      }
    return k;
  }();
  std::array<SquareTerm, static_cast<std::size_t>(count)> terms{};
  std::size_t k = 0;
  for (int a = 0; a < n; ++a)
    for (int b = a; b < n; ++b) {
      const Exponents ea = exponents_of(NL, a), eb = exponents_of(NL, b);
      if (ea.i + ea.j + eb.i + eb.j <= D)
        terms[k++] = {a, b, index_of(NL, {ea.i + eb.i, ea.j + eb.j}), a == b ? 1.0 : 2.0};
    }
  return terms;
}

template <int NL, int D>
inline void add_square(const Poly<NL, D>& a, Poly<NL, D>& c) {
  static constexpr auto kTerms = square_terms<NL, D>();
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    ((c.c[kTerms[I].c] +=
      kTerms[I].factor == 1.0 ? a.c[kTerms[I].a] * a.c[kTerms[I].b] : 2.0 * (a.c[kTerms[I].a] * a.c[kTerms[I].b])),
     ...);
  }
  (std::make_index_sequence<kTerms.size()>{});
}

template <int NL, int NG, int O>
struct Taylor {
  static_assert(NL >= 0 && NL <= 2 && NG >= 0 && O >= 1);
  Poly<NL, O> p;                                                // the part free of theta
  std::array<Poly<NL, O - 1>, static_cast<std::size_t>(NG)> q;  // the coefficients of each theta_i

  Taylor() = default;
  explicit Taylor(double value) { p.c[0] = value; }
  double value() const { return p.c[0]; }
};

// The global theta_i at value v, and the local u_l at value v.
template <int NL, int NG, int O>
Taylor<NL, NG, O> global_variable(double v, int i) {
  Taylor<NL, NG, O> x(v);
  x.q[static_cast<std::size_t>(i)].c[0] = 1.0;
  return x;
}
template <int NL, int NG, int O>
Taylor<NL, NG, O> local_variable(double v, int l) {
  Taylor<NL, NG, O> x(v);
  x.p.c[static_cast<std::size_t>(1 + l)] = 1.0;
  return x;
}

constexpr int join(int a, int b) { return a > b ? a : b; }

// dst (+/-)= src, src in NL or 0 variables.
template <bool Minus, int NL, int NLS, int D>
inline void accumulate(Poly<NL, D>& dst, const Poly<NLS, D>& src) {
  if constexpr (NLS == NL) {
    for (std::size_t k = 0; k < dst.c.size(); ++k) dst.c[k] = Minus ? dst.c[k] - src.c[k] : dst.c[k] + src.c[k];
  } else {
    static_assert(NLS == 0);
    dst.c[0] = Minus ? dst.c[0] - src.c[0] : dst.c[0] + src.c[0];
  }
}

template <int NL, int NLS, int NG, int O>
Taylor<NL, NG, O> widen(const Taylor<NLS, NG, O>& x) {
  if constexpr (NL == NLS) {
    return x;
  } else {
    Taylor<NL, NG, O> r{};
    accumulate<false>(r.p, x.p);
    for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) accumulate<false>(r.q[i], x.q[i]);
    return r;
  }
}

template <int NLA, int NLB, int NG, int O>
Taylor<join(NLA, NLB), NG, O> operator+(const Taylor<NLA, NG, O>& a, const Taylor<NLB, NG, O>& b) {
  Taylor<join(NLA, NLB), NG, O> r = widen<join(NLA, NLB)>(a);
  accumulate<false>(r.p, b.p);
  for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) accumulate<false>(r.q[i], b.q[i]);
  return r;
}

template <int NLA, int NLB, int NG, int O>
Taylor<join(NLA, NLB), NG, O> operator-(const Taylor<NLA, NG, O>& a, const Taylor<NLB, NG, O>& b) {
  Taylor<join(NLA, NLB), NG, O> r = widen<join(NLA, NLB)>(a);
  accumulate<true>(r.p, b.p);
  for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) accumulate<true>(r.q[i], b.q[i]);
  return r;
}

template <int NL, int NG, int O>
Taylor<NL, NG, O> operator-(Taylor<NL, NG, O> a) {
  for (double& v : a.p.c) v = -v;
  for (auto& q : a.q)
    for (double& v : q.c) v = -v;
  return a;
}

template <int NLA, int NLB, int NG, int O>
Taylor<join(NLA, NLB), NG, O> operator*(const Taylor<NLA, NG, O>& a, const Taylor<NLB, NG, O>& b) {
  constexpr int NL = join(NLA, NLB);
  Taylor<NL, NG, O> r{};
  add_product(a.p, b.p, r.p);
  for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) {
    add_product(a.p, b.q[i], r.q[i]);
    add_product(a.q[i], b.p, r.q[i]);
  }
  return r;
}

// x^2, its value x0 x0: each pair of the part free of theta once, and
// Q_i of the square = 2 P Q_i.
inline double square_of(double x) { return x * x; }
template <int NL, int NG, int O>
Taylor<NL, NG, O> square_of(const Taylor<NL, NG, O>& x) {
  Taylor<NL, NG, O> r{};
  add_square(x.p, r.p);
  for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) {
    add_product(x.p, x.q[i], r.q[i]);
    for (double& v : r.q[i].c) v = 2.0 * v;
  }
  return r;
}

// With a plain number s.
template <int NL, int NG, int O>
Taylor<NL, NG, O> operator*(Taylor<NL, NG, O> a, double s) {
  for (double& v : a.p.c) v = v * s;
  for (auto& q : a.q)
    for (double& v : q.c) v = v * s;
  return a;
}
template <int NL, int NG, int O>
Taylor<NL, NG, O> operator*(double s, Taylor<NL, NG, O> a) {
  for (double& v : a.p.c) v = s * v;
  for (auto& q : a.q)
    for (double& v : q.c) v = s * v;
  return a;
}
template <int NL, int NG, int O>
Taylor<NL, NG, O> operator/(Taylor<NL, NG, O> a, double s) {
  const double inv = 1.0 / s;
  a.p.c[0] = a.p.c[0] / s;
  for (std::size_t k = 1; k < a.p.c.size(); ++k) a.p.c[k] = a.p.c[k] * inv;
  for (auto& q : a.q)
    for (double& v : q.c) v = v * inv;
  return a;
}
template <int NL, int NG, int O>
Taylor<NL, NG, O> operator+(Taylor<NL, NG, O> a, double s) {
  a.p.c[0] = a.p.c[0] + s;
  return a;
}
template <int NL, int NG, int O>
Taylor<NL, NG, O> operator+(double s, Taylor<NL, NG, O> a) {
  a.p.c[0] = s + a.p.c[0];
  return a;
}
template <int NL, int NG, int O>
Taylor<NL, NG, O> operator-(Taylor<NL, NG, O> a, double s) {
  a.p.c[0] = a.p.c[0] - s;
  return a;
}
template <int NL, int NG, int O>
Taylor<NL, NG, O> operator-(double s, const Taylor<NL, NG, O>& a) {
  Taylor<NL, NG, O> r = -a;
  r.p.c[0] = s - a.p.c[0];
  return r;
}

// g(x) from the Taylor coefficients g[k] = g^(k)(x0) / k! of g at the value x0.
template <int NL, int NG, int O>
Taylor<NL, NG, O> compose(const Taylor<NL, NG, O>& x, const std::array<double, O + 1>& g) {
  Taylor<NL, NG, O> r{};
  r.p.c[0] = g[0];
  if constexpr (NL == 0) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) r.q[i].c[0] = g[1] * x.q[i].c[0];
  } else {
    std::array<Poly<NL, O>, O + 1> power{};  // dP^k
    power[1] = x.p;
    power[1].c[0] = 0.0;
    for (std::size_t k = 2; k <= static_cast<std::size_t>(O); ++k) add_product(power[k - 1], power[1], power[k]);
    for (std::size_t k = 1; k <= static_cast<std::size_t>(O); ++k)
      for (std::size_t m = 1; m < r.p.c.size(); ++m) r.p.c[m] = r.p.c[m] + g[k] * power[k].c[m];
    Poly<NL, O - 1> slope{};  // g'(x) free of theta, to degree O - 1
    slope.c[0] = g[1];
    for (std::size_t k = 2; k <= static_cast<std::size_t>(O); ++k)
      for (std::size_t m = 1; m < slope.c.size(); ++m)
        slope.c[m] = slope.c[m] + (static_cast<double>(k) * g[k]) * power[k - 1].c[m];
    for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) add_product(slope, x.q[i], r.q[i]);
  }
  return r;
}

template <int NL, int NG, int O>
Taylor<NL, NG, O> exp_of(const Taylor<NL, NG, O>& x) {
  std::array<double, O + 1> g{};
  g[0] = exp_of(x.value());
  double factorial = 1.0;
  for (std::size_t k = 1; k <= static_cast<std::size_t>(O); ++k) {
    factorial = factorial * static_cast<double>(k);
    g[k] = g[0] / factorial;
  }
  return compose(x, g);
}

template <int NL, int NG, int O>
Taylor<NL, NG, O> log_of(const Taylor<NL, NG, O>& x) {
  std::array<double, O + 1> g{};
  g[0] = log_of(x.value());
  const double inv = 1.0 / x.value();
  double power = 1.0;  // (-1/x0)^(k-1) / x0 ... built step by step
  for (std::size_t k = 1; k <= static_cast<std::size_t>(O); ++k) {
    power = k == 1 ? inv : power * -inv;
    g[k] = power / static_cast<double>(k);  // (-1)^(k+1) / (k x0^k)
  }
  return compose(x, g);
}

template <int NL, int NG, int O>
Taylor<NL, NG, O> reciprocal(const Taylor<NL, NG, O>& x) {
  std::array<double, O + 1> g{};
  const double inv = 1.0 / x.value();
  g[0] = inv;
  for (std::size_t k = 1; k <= static_cast<std::size_t>(O); ++k) g[k] = g[k - 1] * -inv;  // (-1)^k / x0^(k+1)
  return compose(x, g);
}

// a / b, whose value is a0 / b0. A divisor free of the locals, b = b0 +
// sum_i theta_i b_i, gives r = a / b0 - sum_i theta_i (r b_i) / b0 directly,
// the coefficients but the value multiplied by 1 / b0 (one division).
template <int NLA, int NLB, int NG, int O>
Taylor<join(NLA, NLB), NG, O> operator/(const Taylor<NLA, NG, O>& a, const Taylor<NLB, NG, O>& b) {
  if constexpr (NLB == 0) {
    const double b0 = b.value(), inv = 1.0 / b0;
    Taylor<NLA, NG, O> r;
    r.p.c[0] = a.p.c[0] / b0;
    for (std::size_t k = 1; k < r.p.c.size(); ++k) r.p.c[k] = a.p.c[k] * inv;
    for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i)
      for (std::size_t k = 0; k < r.q[i].c.size(); ++k) r.q[i].c[k] = (a.q[i].c[k] - r.p.c[k] * b.q[i].c[0]) * inv;
    return r;
  } else {
    Taylor<join(NLA, NLB), NG, O> r = a * reciprocal(b);
    r.p.c[0] = a.value() / b.value();
    return r;
  }
}
template <int NL, int NG, int O>
Taylor<NL, NG, O> operator/(double s, const Taylor<NL, NG, O>& b) {
  Taylor<NL, NG, O> r = s * reciprocal(b);
  r.p.c[0] = s / b.value();
  return r;
}

// The value of a number or of a Taylor polynomial.
inline double value_of(double x) { return x; }
template <int NL, int NG, int O>
double value_of(const Taylor<NL, NG, O>& x) {
  return x.value();
}

// Quotients by one divisor v: quotient(a, v, reciprocal_for_quotients(v)) is
// a / v, its value a0 / v0. A divisor in the locals shares one reciprocal
// series among its quotients; numbers and divisors of the globals alone
// divide directly.
struct Unshared {};
inline Unshared reciprocal_for_quotients(double) { return {}; }
template <int NG, int O>
Unshared reciprocal_for_quotients(const Taylor<0, NG, O>&) {
  return {};
}
template <int NL, int NG, int O>
requires(NL > 0) Taylor<NL, NG, O> reciprocal_for_quotients(const Taylor<NL, NG, O>& v) { return reciprocal(v); }
template <class A, class B>
auto quotient(const A& a, const B& v, Unshared) {
  return a / v;
}
template <class A, int NL, int NG, int O>
Taylor<NL, NG, O> quotient(const A& a, const Taylor<NL, NG, O>& v, const Taylor<NL, NG, O>& inverse) {
  Taylor<NL, NG, O> r = a * inverse;
  r.p.c[0] = value_of(a) / v.value();
  return r;
}

// Derivatives of the part free of theta (l, m, n: locals counted from 0), and
// of the coefficient Q_i.
template <int NL, int D>
double derivative(const Poly<NL, D>& p, std::initializer_list<int> locals) {
  Exponents e;
  for (int l : locals) (l == 0 ? e.i : e.j) += 1;
  static constexpr std::array<double, 4> kFactorial = {1.0, 1.0, 2.0, 6.0};
  return p.c[static_cast<std::size_t>(index_of(NL, e))] *
         (kFactorial[static_cast<std::size_t>(e.i)] * kFactorial[static_cast<std::size_t>(e.j)]);
}

}  // namespace model::marginal
