// Exact first and second derivatives of the plot objective with respect to the
// eight curve parameters. Every quantity of the innovations recursion is
// carried with its gradient and its Hessian (upper triangle, packed), and each
// measurement's term T = ln V + R^2 / V is differentiated and added up.
//
// Only some parameters reach each quantity: A, M and Y depend on a, c (and M
// on y0); E and G on b (and, for the first measurement, t0); V and theta on
// b, sigma0, sigmap, sigmae, t0; R on all eight.
#include <array>
#include <cmath>

#include "estimator/likelihood.hpp"

namespace estimator {
namespace {

enum : int { kA, kB, kC, kS0, kSp, kSe, kT0, kY0 };

constexpr int kParams = 8;
constexpr int kPairs = 36;

// Packed position of the pair (k, l), k <= l, of the upper triangle.
constexpr int pair(int k, int l) { return k <= l ? k + l * (l + 1) / 2 : l + k * (k + 1) / 2; }

struct Pair {
  int k, l, p;
};

constexpr std::array<Pair, kPairs> kAllPairs = [] {
  std::array<Pair, kPairs> ps{};
  int n = 0;
  for (int l = 0; l < kParams; ++l)
    for (int k = 0; k <= l; ++k) ps[static_cast<std::size_t>(n++)] = {k, l, pair(k, l)};
  return ps;
}();

// The parameters the variance depends on, and their pairs.
constexpr std::array<int, 5> kVarianceParams = {kB, kS0, kSp, kSe, kT0};
constexpr std::array<Pair, 15> kVariancePairs = [] {
  std::array<Pair, 15> ps{};
  int n = 0;
  for (std::size_t j = 0; j < kVarianceParams.size(); ++j)
    for (std::size_t i = 0; i <= j; ++i)
      ps[static_cast<std::size_t>(n++)] = {kVarianceParams[i], kVarianceParams[j],
                                           pair(kVarianceParams[i], kVarianceParams[j])};
  return ps;
}();

// A value with its gradient and packed Hessian.
struct Jet {
  double v = 0.0;
  std::array<double, kParams> g{};
  std::array<double, kPairs> h{};

  double& d(int k) { return g[static_cast<std::size_t>(k)]; }
  double d(int k) const { return g[static_cast<std::size_t>(k)]; }
  double& dd(int k, int l) { return h[static_cast<std::size_t>(pair(k, l))]; }
  double dd(int k, int l) const { return h[static_cast<std::size_t>(pair(k, l))]; }
};

std::size_t at(int k) { return static_cast<std::size_t>(k); }

// Adds (or, for the first measurement, assigns) the derivatives of
// T = ln V + R^2 / V to the outputs.
void add_term(const Jet& R, const Jet& V, bool assign, CurveGradient& fgrad, CurveHessian& fhess) {
  const double k1 = 2.0 * R.v / V.v;
  const double k2 = (1.0 - R.v * R.v / V.v) / V.v;
  const double crr = 2.0 / V.v;
  const double crv = 2.0 * R.v / (V.v * V.v);
  const double cvv = (2.0 * R.v * R.v / V.v - 1.0) / (V.v * V.v);
  for (int k = 0; k < kParams; ++k) {
    const double t = k1 * R.g[at(k)] + k2 * V.g[at(k)];
    fgrad[at(k)] = assign ? t : fgrad[at(k)] + t;
  }
  for (const Pair& q : kAllPairs) {
    const double rk = R.g[at(q.k)], rl = R.g[at(q.l)], vk = V.g[at(q.k)], vl = V.g[at(q.l)];
    const double t = k1 * R.h[at(q.p)] + k2 * V.h[at(q.p)] + crr * rk * rl - crv * (rk * vl + rl * vk) + cvv * vk * vl;
    double& out = fhess[static_cast<std::size_t>(q.k + 8 * q.l)];
    out = assign ? t : out + t;
  }
}

// The recursion's quantities with their derivatives, measurement by
// measurement.
class Recursion {
 public:
  explicit Recursion(const Curve& curve);
  // The first measurement, linked to the start of the curve.
  void first(double t1, double h1);
  // A later measurement, linked to the one before it (delta = t_prev - t).
  void next(double delta, double height);

  Jet R, V;
  double log_sum = 0.0;  // sum of ln h

 private:
  double transform(double height);

  double b_, c_, s0_, sp_, se_, t0_;
  double vs_, vp_, ve_;
  double A_, A_c_, A_cc_;
  Jet M_, Y_, E_, G_, VP_, VE_;
};

Recursion::Recursion(const Curve& curve)
    : b_(curve[1]), c_(curve[2]), s0_(curve[3]), sp_(curve[4]), se_(curve[5]), t0_(curve[6]) {
  const double a = curve[0], c = c_, y0 = curve[7];
  vs_ = s0_ * s0_;
  vp_ = sp_ * sp_;
  ve_ = se_ * se_;
  // A = a^c and the start state M = (y0 - A) / c on the transformed scale.
  A_ = std::pow(a, c);
  const double log_a = std::log(a);
  const double A_a = c * A_ / a;
  A_c_ = A_ * log_a;
  const double A_aa = c * (c - 1.0) * A_ / (a * a);
  A_cc_ = A_ * log_a * log_a;
  const double A_ac = A_ * (1.0 + c * log_a) / a;
  M_.v = (y0 - A_) / c;
  M_.d(kA) = -A_a / c;
  M_.d(kC) = -(A_c_ + M_.v) / c;
  M_.d(kY0) = 1.0 / c;
  M_.dd(kA, kA) = -A_aa / c;
  M_.dd(kC, kC) = -(A_cc_ + 2.0 * M_.d(kC)) / c;
  M_.dd(kA, kC) = -(A_ac + M_.d(kA)) / c;
  M_.dd(kC, kY0) = -1.0 / (c * c);
  // The a-derivatives of the transformed height are the same for every measurement.
  Y_.d(kA) = -A_a / c;
  Y_.dd(kA, kA) = -A_aa / c;
  Y_.dd(kA, kC) = -(A_ac + Y_.d(kA)) / c;
  // vp and ve carry their own derivatives in sigmap and sigmae.
  VP_.v = vp_;
  VP_.d(kSp) = 2.0 * sp_;
  VP_.dd(kSp, kSp) = 2.0;
  VE_.v = ve_;
  VE_.d(kSe) = 2.0 * se_;
  VE_.dd(kSe, kSe) = 2.0;
}

// Y = (h^c - A) / c and its c-derivatives; returns ln h.
double Recursion::transform(double height) {
  const double H = std::pow(height, c_);
  const double L = std::log(height);
  Y_.v = (H - A_) / c_;
  Y_.d(kC) = (H * L - A_c_ - Y_.v) / c_;
  Y_.dd(kC, kC) = (H * L * L - A_cc_ - 2.0 * Y_.d(kC)) / c_;
  return L;
}

void Recursion::first(double t1, double h1) {
  const double b = b_;
  log_sum = transform(h1);
  // E = exp(b (t0 - t1)) links the measurement to the start.
  const double delta = t0_ - t1;
  E_.v = std::exp(b * delta);
  E_.d(kB) = delta * E_.v;
  E_.dd(kB, kB) = delta * delta * E_.v;
  E_.d(kT0) = b * E_.v;
  E_.dd(kT0, kT0) = b * b * E_.v;
  E_.dd(kB, kT0) = E_.v * (1.0 + b * delta);
  G_.v = E_.v * E_.v;
  for (int k : {kB, kT0}) G_.d(k) = 2.0 * E_.v * E_.d(k);
  for (auto [k, l] : {std::pair{kB, kB}, std::pair{kT0, kT0}, std::pair{kB, kT0}})
    G_.dd(k, l) = 2.0 * (E_.d(k) * E_.d(l) + E_.v * E_.dd(k, l));

  const double vs = vs_, vp = vp_, ve = ve_;
  V.v = vs * G_.v + vp * (1.0 - G_.v) + ve;
  V.d(kB) = (vs - vp) * G_.d(kB);
  V.d(kT0) = (vs - vp) * G_.d(kT0);
  V.d(kS0) = 2.0 * s0_ * G_.v;
  V.d(kSp) = 2.0 * sp_ * (1.0 - G_.v);
  V.d(kSe) = 2.0 * se_;
  V.dd(kB, kB) = (vs - vp) * G_.dd(kB, kB);
  V.dd(kT0, kT0) = (vs - vp) * G_.dd(kT0, kT0);
  V.dd(kB, kT0) = (vs - vp) * G_.dd(kB, kT0);
  V.dd(kS0, kS0) = 2.0 * G_.v;
  V.dd(kSp, kSp) = 2.0 * (1.0 - G_.v);
  V.dd(kSe, kSe) = 2.0;
  V.dd(kB, kS0) = 2.0 * s0_ * G_.d(kB);
  V.dd(kB, kSp) = -2.0 * sp_ * G_.d(kB);
  V.dd(kT0, kS0) = 2.0 * s0_ * G_.d(kT0);
  V.dd(kT0, kSp) = -2.0 * sp_ * G_.d(kT0);

  // R = Y - E M.
  R.v = Y_.v - E_.v * M_.v;
  for (int k = 0; k < kParams; ++k) R.g[at(k)] = Y_.g[at(k)] - E_.g[at(k)] * M_.v - E_.v * M_.g[at(k)];
  for (const Pair& q : kAllPairs)
    R.h[at(q.p)] = Y_.h[at(q.p)] - E_.h[at(q.p)] * M_.v - E_.g[at(q.k)] * M_.g[at(q.l)] -
                   E_.g[at(q.l)] * M_.g[at(q.k)] - E_.v * M_.h[at(q.p)];
  // Later measurements: E depends on b only.
  E_ = Jet{};
  G_ = Jet{};
}

void Recursion::next(double delta, double height) {
  const Jet Yp = Y_, Vp = V, Rp = R;
  log_sum += transform(height);
  E_.v = std::exp(b_ * delta);
  E_.d(kB) = delta * E_.v;
  E_.dd(kB, kB) = delta * delta * E_.v;
  G_.v = E_.v * E_.v;
  G_.d(kB) = 2.0 * E_.v * E_.d(kB);
  G_.dd(kB, kB) = 2.0 * (E_.d(kB) * E_.d(kB) + E_.v * E_.dd(kB, kB));

  // C = -E ve, the covariance of consecutive differences.
  Jet C;
  C.v = -E_.v * ve_;
  C.d(kB) = -E_.d(kB) * ve_;
  C.d(kSe) = -2.0 * se_ * E_.v;
  C.dd(kB, kB) = -E_.dd(kB, kB) * ve_;
  C.dd(kB, kSe) = -2.0 * se_ * E_.d(kB);
  C.dd(kSe, kSe) = -2.0 * E_.v;

  // theta = C / V'.
  Jet theta;
  theta.v = C.v / Vp.v;
  for (int k : kVarianceParams) theta.d(k) = (C.d(k) - theta.v * Vp.d(k)) / Vp.v;
  for (const Pair& q : kVariancePairs)
    theta.h[at(q.p)] = (C.h[at(q.p)] - theta.d(q.k) * Vp.d(q.l) - theta.d(q.l) * Vp.d(q.k) - theta.v * Vp.h[at(q.p)]) /
                       Vp.v;

  // V = (1 - G) vp + (1 + G) ve - theta C.
  const Jet &G = G_, &VP = VP_, &VE = VE_;
  V.v = (1.0 - G.v) * VP.v + (1.0 + G.v) * VE.v - theta.v * C.v;
  for (int k : kVarianceParams)
    V.d(k) = -G.d(k) * VP.v + (1.0 - G.v) * VP.d(k) + G.d(k) * VE.v + (1.0 + G.v) * VE.d(k) - theta.d(k) * C.v -
             theta.v * C.d(k);
  for (const Pair& q : kVariancePairs) {
    const auto p = at(q.p);
    const int k = q.k, l = q.l;
    V.h[p] = -G.h[p] * VP.v - G.d(k) * VP.d(l) - G.d(l) * VP.d(k) + (1.0 - G.v) * VP.h[p] + G.h[p] * VE.v +
             G.d(k) * VE.d(l) + G.d(l) * VE.d(k) + (1.0 + G.v) * VE.h[p] - theta.h[p] * C.v - theta.d(k) * C.d(l) -
             theta.d(l) * C.d(k) - theta.v * C.h[p];
  }

  // R = Y - E Y' - theta R'.
  const Jet &Y = Y_, &E = E_;
  R.v = Y.v - E.v * Yp.v - theta.v * Rp.v;
  for (int k = 0; k < kParams; ++k)
    R.g[at(k)] = Y.g[at(k)] - E.g[at(k)] * Yp.v - E.v * Yp.g[at(k)] - theta.g[at(k)] * Rp.v - theta.v * Rp.g[at(k)];
  for (const Pair& q : kAllPairs) {
    const auto p = at(q.p);
    const auto k = at(q.k), l = at(q.l);
    R.h[p] = Y.h[p] - E.h[p] * Yp.v - E.g[k] * Yp.g[l] - E.g[l] * Yp.g[k] - E.v * Yp.h[p] - theta.h[p] * Rp.v -
             theta.g[k] * Rp.g[l] - theta.g[l] * Rp.g[k] - theta.v * Rp.h[p];
  }
}

}  // namespace

void ders(const Curve& curve, int n, const double* t, const double* h, CurveGradient& fgrad, CurveHessian& fhess) {
  Recursion r(curve);
  r.first(t[0], h[0]);
  add_term(r.R, r.V, true, fgrad, fhess);
  for (int i = 1; i < n; ++i) {
    r.next(t[i - 1] - t[i], h[i]);
    add_term(r.R, r.V, false, fgrad, fhess);
  }
  // The change-of-variables term 2 (1 - c) sum ln h is linear in c.
  fgrad[kC] = fgrad[kC] - 2.0 * r.log_sum;
}

}  // namespace estimator
