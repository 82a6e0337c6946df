// Values with their exact first and second derivatives with respect to the
// estimated parameters of a model (its globals, then one plot's locals: n of
// them, at most kMaxJetParameters), carried through a curve map by the chain
// rule: forward-mode differentiation to second order. A parameter p_i enters
// as v = p_i, d_i = 1; a constant carries no derivatives (n = 0). For
// h = f(x) and h = f(x, y):
//   h_i  = f' x_i,                      h_ij = f' x_ij + f'' x_i x_j;
//   h_i  = f_x x_i + f_y y_i,
//   h_ij = f_x x_ij + f_y y_ij + f_xx x_i x_j + f_xy (x_i y_j + x_j y_i) + f_yy y_i y_j,
// the terms of an operand without derivatives left out. The second
// derivatives are held as a packed triangle: (i, j), j <= i, counted from 0,
// at jet_pair(i, j) = i (i + 1) / 2 + j; only the first n derivatives and
// n (n + 1) / 2 second derivatives are computed, the others stay 0.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "model/catalogue.hpp"

namespace model {

// The most parameters a model of the catalogue estimates.
inline constexpr int kMaxJetParameters = [] {
  int most = 0;
  for (const ModelEntry& m : kCatalogue) most = std::max(most, m.ng() + m.nl());
  return most;
}();

constexpr std::size_t jet_pair(int i, int j) { return static_cast<std::size_t>(i * (i + 1) / 2 + j); }

struct CurveJet {
  double v = 0.0;
  int n = 0;  // parameters whose derivatives are carried
  std::array<double, kMaxJetParameters> d{};
  std::array<double, kMaxJetParameters*(kMaxJetParameters + 1) / 2> dd{};

  CurveJet() = default;
  explicit CurveJet(double value) : v(value) {}

  // Parameter `index` of n, at the given value.
  static CurveJet parameter(double value, int index, int n) {
    CurveJet x(value);
    x.n = n;
    x.d[static_cast<std::size_t>(index)] = 1.0;
    return x;
  }
};

namespace jets {

// The value and the partial derivatives of f at (x, y).
struct Partials {
  double f, fx, fy, fxx, fxy, fyy;
};

inline CurveJet unary(const CurveJet& x, double f, double f1, double f2) {
  CurveJet h(f);
  h.n = x.n;
  for (int i = 0; i < x.n; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    h.d[ui] = f1 * x.d[ui];
    for (int j = 0; j <= i; ++j) {
      const std::size_t p = jet_pair(i, j);
      h.dd[p] = f1 * x.dd[p] + f2 * x.d[ui] * x.d[static_cast<std::size_t>(j)];
    }
  }
  return h;
}

inline CurveJet binary(const CurveJet& x, const CurveJet& y, const Partials& q) {
  CurveJet h(q.f);
  h.n = std::max(x.n, y.n);
  const bool vx = x.n > 0, vy = y.n > 0;
  for (int i = 0; i < h.n; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    h.d[ui] = (vx ? q.fx * x.d[ui] : 0.0) + (vy ? q.fy * y.d[ui] : 0.0);
    for (int j = 0; j <= i; ++j) {
      const auto uj = static_cast<std::size_t>(j);
      const std::size_t p = jet_pair(i, j);
      double s = 0.0;
      if (vx) s += q.fx * x.dd[p] + q.fxx * x.d[ui] * x.d[uj];
      if (vy) s += q.fy * y.dd[p] + q.fyy * y.d[ui] * y.d[uj];
      if (vx && vy) s += q.fxy * (x.d[ui] * y.d[uj] + x.d[uj] * y.d[ui]);
      h.dd[p] = s;
    }
  }
  return h;
}

}  // namespace jets

inline CurveJet operator+(const CurveJet& x, const CurveJet& y) {
  return jets::binary(x, y, {x.v + y.v, 1.0, 1.0, 0.0, 0.0, 0.0});
}
inline CurveJet operator-(const CurveJet& x, const CurveJet& y) {
  return jets::binary(x, y, {x.v - y.v, 1.0, -1.0, 0.0, 0.0, 0.0});
}
inline CurveJet operator-(const CurveJet& x) { return jets::unary(x, -x.v, -1.0, 0.0); }
// (x y)_ij = y x_ij + x y_ij + x_i y_j + x_j y_i.
inline CurveJet operator*(const CurveJet& x, const CurveJet& y) {
  return jets::binary(x, y, {x.v * y.v, y.v, x.v, 0.0, 1.0, 0.0});
}
// x / y: f_x = 1/y, f_y = -x/y^2, f_xy = -1/y^2, f_yy = 2x/y^3.
inline CurveJet operator/(const CurveJet& x, const CurveJet& y) {
  const double r = 1.0 / y.v;
  return jets::binary(x, y, {x.v / y.v, r, -x.v * r * r, 0.0, -r * r, 2.0 * x.v * r * r * r});
}
inline CurveJet operator+(const CurveJet& x, double s) { return x + CurveJet(s); }
inline CurveJet operator+(double s, const CurveJet& x) { return CurveJet(s) + x; }
inline CurveJet operator-(const CurveJet& x, double s) { return x - CurveJet(s); }
inline CurveJet operator-(double s, const CurveJet& x) { return CurveJet(s) - x; }
inline CurveJet operator*(const CurveJet& x, double s) { return x * CurveJet(s); }
inline CurveJet operator*(double s, const CurveJet& x) { return CurveJet(s) * x; }
inline CurveJet operator/(const CurveJet& x, double s) { return x / CurveJet(s); }
inline CurveJet operator/(double s, const CurveJet& x) { return CurveJet(s) / x; }

inline CurveJet exp(const CurveJet& x) {
  const double e = std::exp(x.v);
  return jets::unary(x, e, e, e);
}
inline CurveJet log(const CurveJet& x) { return jets::unary(x, std::log(x.v), 1.0 / x.v, -1.0 / (x.v * x.v)); }
inline CurveJet sqrt(const CurveJet& x) {
  const double s = std::sqrt(x.v);
  return jets::unary(x, s, 0.5 / s, -0.25 / (s * x.v));
}

// x^c: f' = c x^(c-1), f'' = c (c-1) x^(c-2).
inline CurveJet pow(const CurveJet& x, double c) {
  return jets::unary(x, std::pow(x.v, c), c * std::pow(x.v, c - 1.0), c * (c - 1.0) * std::pow(x.v, c - 2.0));
}
// r^y: f' = r^y ln r, f'' = r^y ln^2 r.
inline CurveJet pow(double r, const CurveJet& y) {
  const double f = std::pow(r, y.v), lr = std::log(r);
  return jets::unary(y, f, f * lr, f * lr * lr);
}
// x^y: f_x = y x^(y-1), f_y = x^y ln x, f_xx = y (y-1) x^(y-2),
// f_xy = x^(y-1) (1 + y ln x), f_yy = x^y ln^2 x.
inline CurveJet pow(const CurveJet& x, const CurveJet& y) {
  if (y.n == 0) return pow(x, y.v);
  if (x.n == 0) return pow(x.v, y);
  const double f = std::pow(x.v, y.v), f1 = std::pow(x.v, y.v - 1.0), lx = std::log(x.v);
  return jets::binary(
      x, y, {f, y.v * f1, f * lx, y.v * (y.v - 1.0) * std::pow(x.v, y.v - 2.0), f1 * (1.0 + y.v * lx), f * lx * lx});
}

}  // namespace model
