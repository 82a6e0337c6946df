// The mode of a plot's integrand: the minimum of G(u) by Newton's method with
// a positive definite safeguard and a backtracking line search.
//   step:    s = -Hm^-1 g, Hm = H where H is positive definite (with D the
//            square roots of H's diagonal, the smallest eigenvalue of
//            D^-1 H D^-1 above kDefinite times its largest), else H with the
//            eigenvalues of D^-1 H D^-1 replaced by their absolute values, at
//            least kDefinite times the largest;
//   accept:  the full step once the Newton decrement g' Hm^-1 g is below
//            kQuadratic (where Newton's method converges quadratically) and
//            G did not rise beyond rounding; otherwise the longest of 1, 1/2,
//            1/4, ... (at most kMaxHalvings halvings) with
//            G(u + a s) <= G(u) - kArmijo a g' Hm^-1 g;
//   stop:    at a full step with a decrement below kConverged and H positive
//            definite: the step was then about 1e-6 conditional standard
//            deviations, and Newton's method leaves about its square (the
//            departure of the flat test bounds the constant); or at a full
//            step that did not lower G with a decrement below kStalled
//            (1 + |G|) (the locals' own rounding, when a conditional
//            deviation is below about 1e-10 of its local); or at a point that no step improves while H is positive
//            definite and the decrement below kStalled (1 + |G|), where the
//            rounding of G hides any decrease.
// A search that runs out of iterations while its last iteration still
// lowered G by more than kStalled (1 + |G|) is still descending (unbounded);
// one that comes to rest without a positive definite peak, or runs out of
// iterations at rest, is on a plateau (flat); one whose every trial point
// has a G that is not finite, is outside the model's range (not_finite).
// A start where G is not finite is replaced by mu. Statuses as in
// marginal_term.hpp.
#pragma once

#include <cmath>

#include "model/marginal/integrand_expansion.hpp"
#include "model/marginal/marginal_term.hpp"

namespace model::marginal {

inline constexpr double kDefinite = 1e-14;
inline constexpr double kQuadratic = 1e-6;
inline constexpr double kConverged = 1e-12;
inline constexpr double kStalled = 1e-8;
inline constexpr double kArmijo = 1e-4;
inline constexpr int kMaxHalvings = 60;

template <int NL>
bool all_finite(const Second<NL>& s) {
  bool ok = std::isfinite(s.G);
  for (double v : s.g) ok = ok && std::isfinite(v);
  for (double v : s.H) ok = ok && std::isfinite(v);
  return ok;
}

// The scales s_l = sqrt|H_ll| (1 where H_ll = 0): the tests and the
// safeguard look at D^-1 H D^-1, D = diag(s), so that they do not depend on
// the units of the locals (a deviation of the population near 0 makes one
// diagonal element of H huge).
template <int NL>
Vec<NL> scales(const Mat<NL>& h) {
  Vec<NL> s;
  for (int l = 0; l < NL; ++l) {
    const double d = std::sqrt(std::fabs(h[entry<NL>(l, l)]));
    s[static_cast<std::size_t>(l)] = d > 0.0 ? d : 1.0;
  }
  return s;
}

template <int NL>
Mat<NL> scaled(const Mat<NL>& h, const Vec<NL>& s, bool down) {
  Mat<NL> r;
  for (int i = 0; i < NL; ++i)
    for (int j = 0; j < NL; ++j) {
      const double sij = s[static_cast<std::size_t>(i)] * s[static_cast<std::size_t>(j)];
      r[entry<NL>(i, j)] = down ? h[entry<NL>(i, j)] / sij : h[entry<NL>(i, j)] * sij;
    }
  return r;
}

template <int NL>
bool positive_definite(const Mat<NL>& h) {
  const auto [lo, hi] = eigenvalue_range<NL>(scaled<NL>(h, scales<NL>(h), true));
  return hi > 0.0 && lo > kDefinite * hi;
}

// H with the eigenvalues of D^-1 H D^-1 replaced by max(|lambda|, kDefinite
// times the largest |lambda|); the identity where they are all 0.
template <int NL>
Mat<NL> absolute_part(const Mat<NL>& h) {
  const Vec<NL> s = scales<NL>(h);
  const Mat<NL> c = scaled<NL>(h, s, true);
  const auto [lo, hi] = eigenvalue_range<NL>(c);
  const double largest = std::fmax(std::fabs(lo), std::fabs(hi));
  const double floor = largest > 0.0 ? kDefinite * largest : 1.0;
  const double mlo = std::fmax(std::fabs(lo), floor), mhi = std::fmax(std::fabs(hi), floor);
  if constexpr (NL == 1) {
    return scaled<NL>({mhi}, s, false);
  } else {
    // Eigenvector of hi from whichever row of C - hi I is the larger.
    const double a = c[0], b = c[1], d = c[3];
    double vx = b, vy = hi - a;
    if ((hi - d) * (hi - d) + b * b > vx * vx + vy * vy) {
      vx = hi - d;
      vy = b;
    }
    const double norm = std::sqrt(vx * vx + vy * vy);
    if (!(norm > 0.0)) return scaled<NL>({mhi, 0.0, 0.0, mhi}, s, false);  // a multiple of the identity
    vx /= norm;
    vy /= norm;
    const double wx = -vy, wy = vx;
    const double m11 = mhi * vx * vx + mlo * wx * wx, m12 = mhi * vx * vy + mlo * wx * wy;
    return scaled<NL>({m11, m12, m12, mhi * vy * vy + mlo * wy * wy}, s, false);
  }
}

template <int NL>
struct ModeSearch {
  PlotStatus status = PlotStatus::ok;
  Vec<NL> u{};
  int iterations = 0;
};

template <int NL>
Vec<NL> plus(const Vec<NL>& u, double a, const Vec<NL>& s) {
  Vec<NL> v;
  for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) v[l] = u[l] + a * s[l];
  return v;
}

// How a line search ended.
enum class Search { stepped, no_decrease, nowhere_finite, minus_infinity };

// One line search from u along s (decrement dec).
template <class Fn, int NL = Fn::NL>
Search line_search(const Fn& fn, const Population<NL>& pop, const Vec<NL>& s, double dec, Vec<NL>& u, Second<NL>& e) {
  double a = 1.0;
  bool some_finite = false;
  for (int h = 0; h <= kMaxHalvings; ++h, a *= 0.5) {
    const Vec<NL> trial = plus<NL>(u, a, s);
    const Second<NL> t = second_expansion(fn, pop, trial);
    if (t.G == -INFINITY) return Search::minus_infinity;
    if (!all_finite(t)) continue;
    some_finite = true;
    if (t.G <= e.G - kArmijo * a * dec) {
      u = trial;
      e = t;
      return Search::stepped;
    }
  }
  return some_finite ? Search::no_decrease : Search::nowhere_finite;
}

// The expansion at u, or at mu when it is not finite there; false when
// neither is finite.
template <class Fn, int NL = Fn::NL>
bool start_expansion(Fn& fn, const Population<NL>& pop, Vec<NL>& u, Second<NL>& e) {
  fn.center(u, false);
  e = second_expansion(fn, pop, u);
  if (all_finite(e)) return true;
  u = pop.mu;
  fn.center(u, false);
  e = second_expansion(fn, pop, u);
  return all_finite(e);
}

// How a full Newton step close to the mode ended.
enum class FullStep { refused, taken, converged };

// The full step s (decrement dec) from u, taken when G is finite there and not
// higher; converged when the decrement is at its tolerance, or when the step
// no longer lowers G while the decrement is at rounding level (the rounding
// of the locals themselves).
template <class Fn, int NL = Fn::NL>
FullStep full_step(const Fn& fn, const Population<NL>& pop, const Vec<NL>& s, double dec, Vec<NL>& u, Second<NL>& e) {
  const Vec<NL> next = plus<NL>(u, 1.0, s);
  const Second<NL> t = second_expansion(fn, pop, next);
  if (!all_finite(t) || t.G > e.G + 1e-12 * (1.0 + std::fabs(e.G))) return FullStep::refused;
  const double fall = e.G - t.G;
  u = next;
  e = t;
  const bool stalled = fall <= 0.0 && dec <= kStalled * (1.0 + std::fabs(e.G));
  return dec <= kConverged || stalled ? FullStep::converged : FullStep::taken;
}

template <class Fn, int NL = Fn::NL>
ModeSearch<NL> find_mode(Fn& fn, const Population<NL>& pop, const Vec<NL>& start) {
  ModeSearch<NL> m;
  m.u = start;
  Second<NL> e;
  if (!start_expansion(fn, pop, m.u, e)) return {PlotStatus::not_finite, m.u, 0};
  double fall = 0.0;  // how much the last iteration lowered G
  for (m.iterations = 1; m.iterations <= kMaxModeIterations; ++m.iterations) {
    const bool definite = positive_definite<NL>(e.H);
    const double before = e.G;
    const Mat<NL> hm = definite ? e.H : absolute_part<NL>(e.H);
    Vec<NL> s = apply<NL>(inverse<NL>(hm), e.g);
    for (double& v : s) v = -v;
    const double dec = -dot<NL>(e.g, s);
    const FullStep full = definite && dec <= kQuadratic ? full_step(fn, pop, s, dec, m.u, e) : FullStep::refused;
    if (full == FullStep::converged) return m;
    if (full == FullStep::refused) {
      switch (line_search(fn, pop, s, dec, m.u, e)) {
        case Search::stepped:
          break;
        case Search::minus_infinity:
          return {PlotStatus::unbounded, m.u, m.iterations};
        case Search::nowhere_finite:
          return {PlotStatus::not_finite, m.u, m.iterations};
        case Search::no_decrease:
          if (definite && dec <= kStalled * (1.0 + std::fabs(e.G))) return m;
          return {PlotStatus::flat, m.u, m.iterations};
      }
    }
    fall = before - e.G;
  }
  const bool falling = fall > kStalled * (1.0 + std::fabs(e.G));
  return {falling ? PlotStatus::unbounded : PlotStatus::flat, m.u, kMaxModeIterations};
}

}  // namespace model::marginal
