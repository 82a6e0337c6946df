// What the marginal term takes of the integrand at its mode u^:
//   G^ = f + r' Omega r + ln det Psi (r = u^ - mu),  H = d2f/du2 + 2 Omega,
//   Sigma = 2 H^-1 = L L' (the conditional covariance of the Laplace
//   approximation), ln det(H / 2),
//   departure = max |d3f[v, v, v]| / 6 over v = L e_1, L e_2, L (e_1 +- e_2) / sqrt 2:
//   the cubic term of G against the quadratic one, which is 1 at v.
// And the derivatives of the exponent with respect to the outer parameters
// phi = (theta, mu, psi) at any u: dG/dtheta = df/dtheta, dG/dmu = -2 Omega r,
// dG/dpsi_k = r' Omega_k r + d ln det Psi / dpsi_k.
#pragma once

#include <cmath>

#include "model/marginal/integrand_expansion.hpp"
#include "model/marginal/marginal_term.hpp"
#include "model/marginal/mode_search.hpp"

namespace model::marginal {

template <int NL>
struct ModeGeometry {
  double G = 0.0;
  Vec<NL> r{};
  Mat<NL> H{}, H_inverse{}, sigma{}, L{};
  double log_det_half = 0.0;  // ln det(H / 2)
  double departure = 0.0;
};

template <int NL>
double cubic(const std::array<Mat<NL>, NL>& fuuu, const Vec<NL>& v) {
  double s = 0.0;
  for (int n = 0; n < NL; ++n)
    s += dot<NL>(v, apply<NL>(fuuu[static_cast<std::size_t>(n)], v)) * v[static_cast<std::size_t>(n)];
  return s;
}

template <int NL>
double departure(const std::array<Mat<NL>, NL>& fuuu, const Mat<NL>& L) {
  double worst = 0.0;
  auto consider = [&](double x1, double x2) {
    Vec<NL> x{};
    x[0] = x1;
    if constexpr (NL == 2) x[1] = x2;
    worst = std::fmax(worst, std::fabs(cubic<NL>(fuuu, apply<NL>(L, x))) / 6.0);
  };
  consider(1.0, 0.0);
  if constexpr (NL == 2) {
    const double h = std::sqrt(0.5);
    consider(0.0, 1.0);
    consider(h, h);
    consider(h, -h);
  }
  return worst;
}

// The geometry, or the status that stops the term: not_finite, or flat
// where H is not positive definite or the departure exceeds kFlatDeparture.
template <int NL, int NG>
PlotStatus mode_geometry(const AtMode<NL, NG>& at, const Population<NL>& pop, const Vec<NL>& u, ModeGeometry<NL>& geo) {
  geo.r = residual(pop, u);
  geo.G = at.f + prior_exponent(pop, geo.r);
  for (std::size_t k = 0; k < geo.H.size(); ++k) geo.H[k] = at.fuu[k] + 2.0 * pop.omega[k];
  bool finite = std::isfinite(geo.G);
  for (const auto& m : at.fuuu)
    for (double v : m) finite = finite && std::isfinite(v);
  for (double v : geo.H) finite = finite && std::isfinite(v);
  if (!finite) return PlotStatus::not_finite;
  if (!positive_definite<NL>(geo.H)) return PlotStatus::flat;
  geo.H_inverse = inverse<NL>(geo.H);
  for (std::size_t k = 0; k < geo.H.size(); ++k) geo.sigma[k] = 2.0 * geo.H_inverse[k];
  geo.L = cholesky<NL>(geo.sigma);
  const double d = det<NL>(geo.H);
  geo.log_det_half = log_of(NL == 1 ? 0.5 * d : 0.25 * d);
  geo.departure = departure<NL>(at.fuuu, geo.L);
  return geo.departure > kFlatDeparture ? PlotStatus::flat : PlotStatus::ok;
}

// dG/dphi at u (r = u - mu), given df/dtheta there.
template <int NL, int NG>
std::array<double, outer_count(NG, NL)> outer_exponent_gradient(const Population<NL>& pop, const Vec<NL>& r,
                                                                const std::array<double, NG>& ftheta) {
  std::array<double, outer_count(NG, NL)> d{};
  for (std::size_t i = 0; i < static_cast<std::size_t>(NG); ++i) d[i] = ftheta[i];
  const Vec<NL> wr = apply<NL>(pop.omega, r);
  for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) d[NG + l] = -2.0 * wr[l];
  for (std::size_t k = 0; k < static_cast<std::size_t>(Population<NL>::kPsi); ++k)
    d[NG + NL + k] = dot<NL>(r, apply<NL>(pop.domega[k], r)) + pop.dlog_det[k];
  return d;
}

}  // namespace model::marginal
