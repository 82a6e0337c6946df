// One plot's marginal term with random locals u ~ Normal(mu, Psi):
//   m_p(phi) = -2 ln of the integral over u of exp(-f_p(theta, u) / 2) N(u; mu, Psi) du
//            = -2 ln of the integral of exp(-G(u) / 2) du / (2 pi)^(NL/2),
//   G(u) = f_p(theta, u) + (u - mu)' Psi^-1 (u - mu) + ln det Psi,
// with f_p the plot objective (minus twice the log-likelihood of its heights)
// and phi = (theta, mu, psi) the outer parameters (population.hpp gives psi).
// At the mode u^ of G, with H = d2G/du2 there and Sigma = 2 H^-1 = L L'
// (L lower triangular), the product Gauss-Hermite rule of K nodes per local
// (quadrature_rule.hpp: unit nodes x_k, weights w_k summing to 1) at
// u_k = u^ + sqrt(2) L x_k gives
//   m_p = G(u^) + ln det(H / 2) - 2 ln S,   S = sum_k w_k exp(|x_k|^2 - (G(u_k) - G(u^)) / 2),
// and K = 1 (S = 1) is the Laplace approximation m_p = f + q + ln det Psi + ln det(H / 2).
//
// The gradient is exact for the approximation as computed (the mode, ln det H
// and the nodes all move with phi): with the mode's derivative du^/dphi_j =
// -H^-1 d2G/du dphi_j and dH_j = d3G/du2 dphi_j + sum_n d3G/du2 du_n du^_n/dphi_j,
//   Laplace: dm/dphi_j = dG/dphi_j (u^) + tr(H^-1 dH_j),
//   nodes:   dm/dphi_j = tr(H^-1 dH_j) + sum_k pi_k (dG/dphi_j (u_k) + dG/du (u_k)' du_k/dphi_j),
// with pi_k = w_k exp(|x_k|^2 - (G(u_k) - G(u^)) / 2) / S, du_k/dphi_j =
// du^/dphi_j + sqrt(2) dL_j x_k, and dL_j the derivative of the Cholesky
// factor for dSigma_j = -Sigma dH_j Sigma / 2.
//
// No console, no files, no allocation: the plot's arrays in, one record out.
// The same inputs give the same bits: every exp and log is the objective's
// own and the rest IEEE arithmetic and square roots, so given the rule (made
// once per run, with Eigen's eigenvalues polished by Newton's method) the
// bits do not depend on the machine either.
#pragma once

#include <array>

#include "model/marginal/model_adapter.hpp"
#include "model/marginal/quadrature_rule.hpp"

namespace model::marginal {

// Outer parameters: the model's globals, then the means of the locals, then
// psi. NG + NL + NL (NL + 1) / 2 is at most 8 in the catalogue.
inline constexpr int kMaxOuter = 10;
constexpr int outer_count(int ng, int nl) { return ng + nl + nl * (nl + 1) / 2; }
constexpr bool catalogue_fits() {
  for (int model = 1; model <= kCatalogueModels; ++model)
    if (model_locals(model) > kMaxMarginalLocals || outer_count(model_globals(model), model_locals(model)) > kMaxOuter)
      return false;
  return true;
}
static_assert(catalogue_fits(), "every model's outer parameters fit the arrays");
using Outer = std::array<double, kMaxOuter>;
using LocalPair = std::array<double, kMaxMarginalLocals>;

// How the plot's term came out. Every status but `ok` leaves the numbers
// other than `mode` and `iterations` undefined.
//   not_finite: the integrand's exponent G, or a derivative the term needs,
//               is not finite at the start (nor at mu), at the mode, at
//               every quadrature node (marginal_pieces.hpp: a node outside
//               the model's range carries no integrand), or at every trial
//               point of a step (the curve left the model's range there);
//               or G is -infinity at a node;
//   flat:       no usable peak: the search came to rest, or ran out of
//               iterations at rest, where the curvature H is not positive
//               definite, or found a peak so flat or lopsided that the cubic
//               term of G exceeds its quadratic term at one conditional
//               standard deviation (`departure` > kFlatDeparture);
//   unbounded:  G kept falling: it reached -infinity, or the search ran out
//               of iterations while still descending.
enum class PlotStatus { ok, not_finite, flat, unbounded };
const char* plot_status_name(PlotStatus status);

inline constexpr double kFlatDeparture = 1.0;
// A conditional standard deviation below kResolvable times the magnitude of
// its local's mode leaves no room for nodes: the term is then Laplace's.
inline constexpr double kResolvable = 1e-7;
// Nor does an exponent G^ whose rounding, 2^-52 |G^|, exceeds
// kExponentRounding (|G^| above about 4.5e9): the nodes' G(u_k) - G^ would be
// rounding, and the term is Laplace's.
inline constexpr double kExponentRounding = 1e-6;
inline constexpr int kMaxModeIterations = 100;

struct PlotMarginal {
  PlotStatus status = PlotStatus::ok;
  int iterations = 0;        // Newton iterations of the mode search
  int nodes_per_local = 0;   // of the term: the rule's, or 1 where kResolvable or kExponentRounding made it Laplace
  double term = 0.0;         // m_p
  Outer gradient{};          // dm_p/dphi (when asked for)
  LocalPair mode{};          // u^
  LocalPair mean{};          // conditional mean of the locals: u^ (Laplace), sum_k pi_k u_k (nodes)
  LocalPair sd{};            // conditional standard deviations: from Sigma (Laplace), the nodes' moments
  double correlation = 0.0;  // conditional correlation of two locals
  // du^_l/dphi_j at l + NL j (when the gradient is asked for): predicts the
  // plot's mode after an outer step dphi as u^ + (du^/dphi) dphi.
  std::array<double, kMaxMarginalLocals * kMaxOuter> mode_sensitivity{};
  double log_det_curvature = 0.0;  // ln det(H / 2)
  double departure = 0.0;          // max |d3G[v, v, v]| / 6 over v = L e_1, L e_2, L (e_1 +- e_2) / sqrt 2
};

// The plot's n measurements (ages not decreasing); n outside 1 ..
// kMaxMeasurements is refused (std::invalid_argument).
struct PlotMeasurements {
  int n = 0;
  const double* ages = nullptr;
  const double* heights = nullptr;
};

// m_p, and its gradient when `gradient` is set, for the model of `esde` at
// the outer parameters phi, with the mode search started from `start` (the
// plot's locals of the last evaluation, or mu). The rule must be for the
// model's number of locals (std::logic_error otherwise).
PlotMarginal marginal_term(const Esde& esde, const QuadratureRule& rule, const Outer& phi, const PlotMeasurements& plot,
                           const LocalPair& start, bool gradient);

// The mode search alone: the status of the search, its iterations and the
// mode (the rest of the record is left as it is made).
PlotMarginal plot_mode(const Esde& esde, const Outer& phi, const PlotMeasurements& plot, const LocalPair& start);

}  // namespace model::marginal
