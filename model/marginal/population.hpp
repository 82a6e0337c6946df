// The population of the locals, u ~ Normal(mu, Psi), in the free
// parametrisation the outer optimiser moves:
//   one local:  psi = ln sigma,                  Psi = sigma^2;
//   two locals: psi = (ln sigma1, ln sigma2, z), rho = tanh z,
//               Psi = [sigma1^2, rho sigma1 sigma2; rho sigma1 sigma2, sigma2^2].
// Every real psi is a valid Psi, and the boundaries (a deviation at 0, a
// correlation at +-1) lie at infinity. With Omega = Psi^-1, r = u - mu, the
// prior's share of the integrand's exponent and its derivatives are
//   P = r' Omega r + ln det Psi,    ln det Psi = 2 sum ln sigma_l + ln(1 - rho^2),
//   dP/du = 2 Omega r,  d2P/du2 = 2 Omega,  dP/dmu = -2 Omega r,
//   dP/dpsi_k = r' Omega_k r + d ln det Psi / dpsi_k,  Omega_k = dOmega/dpsi_k:
//   d Omega_ij / d ln sigma_k = -(delta_ik + delta_jk) Omega_ij,
//   d Omega / dz = [2 rho Omega_11, -(1 + rho^2) / (sigma1 sigma2 (1 - rho^2)); ., 2 rho Omega_22],
//   d ln det Psi / d ln sigma_k = 2,  d ln det Psi / dz = -2 rho.
// 1 - rho^2 is taken as 4 e^(-2|z|) / (1 + e^(-2|z|))^2, which keeps its
// digits as |rho| nears 1.
#pragma once

#include <cmath>

#include "model/marginal/small_matrix.hpp"
#include "model/marginal/taylor.hpp"

namespace model::marginal {

constexpr int population_parameters(int nl) { return nl * (nl + 1) / 2; }

template <int NL>
struct Population {
  static constexpr int kPsi = population_parameters(NL);
  Vec<NL> mu{};
  Vec<NL> sd{};  // the standard deviations sigma_l
  double rho = 0.0;
  Mat<NL> omega{};                     // Psi^-1
  std::array<Mat<NL>, kPsi> domega{};  // dOmega/dpsi_k
  double log_det = 0.0;                // ln det Psi
  std::array<double, kPsi> dlog_det{};
};

template <int NL>
Population<NL> make_population(const double* mu, const double* psi) {
  Population<NL> p;
  for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) {
    p.mu[l] = mu[l];
    p.sd[l] = exp_of(psi[l]);
    p.dlog_det[l] = 2.0;
  }
  if constexpr (NL == 1) {
    p.omega = {1.0 / (p.sd[0] * p.sd[0])};
    p.domega[0] = {-2.0 * p.omega[0]};
    p.log_det = 2.0 * psi[0];
  } else {
    const double z = psi[2];
    const double e = exp_of(-2.0 * std::fabs(z));
    p.rho = std::copysign((1.0 - e) / (1.0 + e), z);
    const double one_minus_rho2 = 4.0 * e / ((1.0 + e) * (1.0 + e));
    const double s12 = p.sd[0] * p.sd[1];
    const double w11 = 1.0 / (p.sd[0] * p.sd[0] * one_minus_rho2);
    const double w22 = 1.0 / (p.sd[1] * p.sd[1] * one_minus_rho2);
    const double w12 = -p.rho / (s12 * one_minus_rho2);
    p.omega = {w11, w12, w12, w22};
    p.domega[0] = {-2.0 * w11, -w12, -w12, 0.0};
    p.domega[1] = {0.0, -w12, -w12, -2.0 * w22};
    const double dz12 = -(1.0 + p.rho * p.rho) / (s12 * one_minus_rho2);
    p.domega[2] = {2.0 * p.rho * w11, dz12, dz12, 2.0 * p.rho * w22};
    p.log_det = 2.0 * psi[0] + 2.0 * psi[1] + log_of(one_minus_rho2);
    p.dlog_det[2] = -2.0 * p.rho;
  }
  return p;
}

}  // namespace model::marginal
