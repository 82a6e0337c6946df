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

}  // namespace

void ders(const Curve& curve, int n, const double* t, const double* h, CurveGradient& fgrad, CurveHessian& fhess) {
  const double a = curve[0], b = curve[1], c = curve[2];
  const double s0 = curve[3], sp = curve[4], se = curve[5];
  const double t0 = curve[6], y0 = curve[7];
  const double vs = s0 * s0, vp = sp * sp, ve = se * se;

  // A = a^c and the start state M = (y0 - A) / c on the transformed scale.
  const double A = std::pow(a, c);
  const double log_a = std::log(a);
  const double A_a = c * A / a;
  const double A_c = A * log_a;
  const double A_aa = c * (c - 1.0) * A / (a * a);
  const double A_cc = A * log_a * log_a;
  const double A_ac = A * (1.0 + c * log_a) / a;
  Jet M;
  M.v = (y0 - A) / c;
  M.d(kA) = -A_a / c;
  M.d(kC) = -(A_c + M.v) / c;
  M.d(kY0) = 1.0 / c;
  M.dd(kA, kA) = -A_aa / c;
  M.dd(kC, kC) = -(A_cc + 2.0 * M.d(kC)) / c;
  M.dd(kA, kC) = -(A_ac + M.d(kA)) / c;
  M.dd(kC, kY0) = -1.0 / (c * c);

  // Transformed height Y = (h^c - A) / c; its a-derivatives are the same for
  // every measurement.
  Jet Y;
  Y.d(kA) = -A_a / c;
  Y.dd(kA, kA) = -A_aa / c;
  Y.dd(kA, kC) = -(A_ac + Y.d(kA)) / c;
  auto transform = [&](double height) {
    const double H = std::pow(height, c);
    const double L = std::log(height);
    Y.v = (H - A) / c;
    Y.d(kC) = (H * L - A_c - Y.v) / c;
    Y.dd(kC, kC) = (H * L * L - A_cc - 2.0 * Y.d(kC)) / c;
    return L;
  };

  // First measurement: E = exp(b (t0 - t1)) links it to the start.
  double log_sum = transform(h[0]);
  Jet E;
  {
    const double delta = t0 - t[0];
    E.v = std::exp(b * delta);
    E.d(kB) = delta * E.v;
    E.dd(kB, kB) = delta * delta * E.v;
    E.d(kT0) = b * E.v;
    E.dd(kT0, kT0) = b * b * E.v;
    E.dd(kB, kT0) = E.v * (1.0 + b * delta);
  }
  Jet G;
  G.v = E.v * E.v;
  for (int k : {kB, kT0}) G.d(k) = 2.0 * E.v * E.d(k);
  for (auto [k, l] : {std::pair{kB, kB}, std::pair{kT0, kT0}, std::pair{kB, kT0}})
    G.dd(k, l) = 2.0 * (E.d(k) * E.d(l) + E.v * E.dd(k, l));

  Jet V;
  V.v = vs * G.v + vp * (1.0 - G.v) + ve;
  V.d(kB) = (vs - vp) * G.d(kB);
  V.d(kT0) = (vs - vp) * G.d(kT0);
  V.d(kS0) = 2.0 * s0 * G.v;
  V.d(kSp) = 2.0 * sp * (1.0 - G.v);
  V.d(kSe) = 2.0 * se;
  V.dd(kB, kB) = (vs - vp) * G.dd(kB, kB);
  V.dd(kT0, kT0) = (vs - vp) * G.dd(kT0, kT0);
  V.dd(kB, kT0) = (vs - vp) * G.dd(kB, kT0);
  V.dd(kS0, kS0) = 2.0 * G.v;
  V.dd(kSp, kSp) = 2.0 * (1.0 - G.v);
  V.dd(kSe, kSe) = 2.0;
  V.dd(kB, kS0) = 2.0 * s0 * G.d(kB);
  V.dd(kB, kSp) = -2.0 * sp * G.d(kB);
  V.dd(kT0, kS0) = 2.0 * s0 * G.d(kT0);
  V.dd(kT0, kSp) = -2.0 * sp * G.d(kT0);

  // R = Y - E M.
  Jet R;
  R.v = Y.v - E.v * M.v;
  for (int k = 0; k < kParams; ++k) R.g[at(k)] = Y.g[at(k)] - E.g[at(k)] * M.v - E.v * M.g[at(k)];
  for (const Pair& q : kAllPairs)
    R.h[at(q.p)] = Y.h[at(q.p)] - E.h[at(q.p)] * M.v - E.g[at(q.k)] * M.g[at(q.l)] - E.g[at(q.l)] * M.g[at(q.k)] -
                   E.v * M.h[at(q.p)];
  add_term(R, V, true, fgrad, fhess);

  // Later measurements: E = exp(b (t_prev - t)) depends on b only; vp and ve
  // carry their own derivatives in sigmap and sigmae.
  E = Jet{};
  G = Jet{};
  Jet VP, VE;
  VP.v = vp;
  VP.d(kSp) = 2.0 * sp;
  VP.dd(kSp, kSp) = 2.0;
  VE.v = ve;
  VE.d(kSe) = 2.0 * se;
  VE.dd(kSe, kSe) = 2.0;
  for (int i = 1; i < n; ++i) {
    const Jet Yp = Y, Vp = V, Rp = R;
    log_sum += transform(h[i]);
    const double delta = t[i - 1] - t[i];
    E.v = std::exp(b * delta);
    E.d(kB) = delta * E.v;
    E.dd(kB, kB) = delta * delta * E.v;
    G.v = E.v * E.v;
    G.d(kB) = 2.0 * E.v * E.d(kB);
    G.dd(kB, kB) = 2.0 * (E.d(kB) * E.d(kB) + E.v * E.dd(kB, kB));

    // C = -E ve, the covariance of consecutive differences.
    Jet C;
    C.v = -E.v * ve;
    C.d(kB) = -E.d(kB) * ve;
    C.d(kSe) = -2.0 * se * E.v;
    C.dd(kB, kB) = -E.dd(kB, kB) * ve;
    C.dd(kB, kSe) = -2.0 * se * E.d(kB);
    C.dd(kSe, kSe) = -2.0 * E.v;

    // theta = C / V'.
    Jet theta;
    theta.v = C.v / Vp.v;
    for (int k : kVarianceParams) theta.d(k) = (C.d(k) - theta.v * Vp.d(k)) / Vp.v;
    for (const Pair& q : kVariancePairs)
      theta.h[at(q.p)] = (C.h[at(q.p)] - theta.d(q.k) * Vp.d(q.l) - theta.d(q.l) * Vp.d(q.k) - theta.v * Vp.h[at(q.p)]) /
                         Vp.v;

    // V = (1 - G) vp + (1 + G) ve - theta C.
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
    R.v = Y.v - E.v * Yp.v - theta.v * Rp.v;
    for (int k = 0; k < kParams; ++k)
      R.g[at(k)] = Y.g[at(k)] - E.g[at(k)] * Yp.v - E.v * Yp.g[at(k)] - theta.g[at(k)] * Rp.v - theta.v * Rp.g[at(k)];
    for (const Pair& q : kAllPairs) {
      const auto p = at(q.p);
      const auto k = at(q.k), l = at(q.l);
      R.h[p] = Y.h[p] - E.h[p] * Yp.v - E.g[k] * Yp.g[l] - E.g[l] * Yp.g[k] - E.v * Yp.h[p] - theta.h[p] * Rp.v -
               theta.g[k] * Rp.g[l] - theta.g[l] * Rp.g[k] - theta.v * Rp.h[p];
    }
    add_term(R, V, false, fgrad, fhess);
  }

  // The change-of-variables term 2 (1 - c) sum ln h is linear in c.
  fgrad[kC] = fgrad[kC] - 2.0 * log_sum;
}

}  // namespace estimator
