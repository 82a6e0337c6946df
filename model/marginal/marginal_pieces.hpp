// The pieces of a plot's marginal term after its mode (marginal_term.hpp has
// the formulas):
//   outer_motion:  per outer parameter phi_j, dG/dphi_j at the mode, the
//                  mode's motion du^_j = -H^-1 b_j (b_j = d2G/du dphi_j), the
//                  curvature's dH_j = C_j + sum_n d3f/du2 du_n du^_j,n
//                  (C_j = d3G/du2 dphi_j) and tr(H^-1 dH_j), where
//                  theta_i: b = d2f/du dtheta_i, C = d3f/du2 dtheta_i;
//                  mu_l:    b = -2 Omega e_l,    C = 0;
//                  psi_k:   b = 2 Omega_k r,     C = 2 Omega_k;
//   node_weights:  u_k = u^ + sqrt(2) L x_k, a_k = ln w_k + |x_k|^2 - (G(u_k) - G^) / 2,
//                  ln S = max a + ln sum exp(a_k - max a), pi_k = exp(a_k - ln S);
//                  a node where G is NaN or +infinity (the curve outside the
//                  model's range, such as a rate below 0) has no integrand,
//                  pi_k = 0; one where G is -infinity makes the term not_finite;
//   node_moments:  the conditional mean sum pi_k u_k and covariance sum pi_k (u_k - mean)(u_k - mean)';
//   node_gradient: tr(H^-1 dH_j) + sum_k pi_k (dG/dphi_j (u_k) + dG/du (u_k)' (du^_j + sqrt(2) dL_j x_k)).
#pragma once

#include <limits>

#include "model/marginal/mode_geometry.hpp"

namespace model::marginal {

template <int NL, int NG>
struct OuterMotion {
  static constexpr int kOuter = outer_count(NG, NL);
  std::array<double, kOuter> g_phi{};
  std::array<Vec<NL>, kOuter> du{};
  std::array<Mat<NL>, kOuter> dH{};
  std::array<double, kOuter> trace{};
};

template <int NL, int NG>
OuterMotion<NL, NG> outer_motion(const AtMode<NL, NG>& at, const Population<NL>& pop, const ModeGeometry<NL>& geo) {
  OuterMotion<NL, NG> m;
  m.g_phi = outer_exponent_gradient<NL, NG>(pop, geo.r, at.ft);
  for (std::size_t j = 0; j < static_cast<std::size_t>(m.kOuter); ++j) {
    Vec<NL> b{};
    Mat<NL> c{};
    if (j < NG) {
      b = at.fut[j];
      c = at.fuut[j];
    } else if (j < NG + NL) {
      for (int l = 0; l < NL; ++l)
        b[static_cast<std::size_t>(l)] = -2.0 * pop.omega[entry<NL>(l, static_cast<int>(j - NG))];
    } else {
      const auto& dw = pop.domega[j - NG - NL];
      b = apply<NL>(dw, geo.r);
      for (auto& v : b) v = 2.0 * v;
      for (std::size_t k = 0; k < c.size(); ++k) c[k] = 2.0 * dw[k];
    }
    Vec<NL> du = apply<NL>(geo.H_inverse, b);
    for (auto& v : du) v = -v;
    Mat<NL> dh = c;
    for (std::size_t n = 0; n < static_cast<std::size_t>(NL); ++n)
      for (std::size_t k = 0; k < dh.size(); ++k) dh[k] += at.fuuu[n][k] * du[n];
    m.du[j] = du;
    m.dH[j] = dh;
    m.trace[j] = trace_of_product<NL>(geo.H_inverse, dh);
  }
  return m;
}

template <int NL>
Vec<NL> node_position(const Vec<NL>& mode, const Mat<NL>& L, const std::array<double, kMaxMarginalLocals>& x) {
  Vec<NL> xs{};
  for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) xs[l] = std::sqrt(2.0) * x[l];
  const Vec<NL> offset = apply<NL>(L, xs);
  return plus<NL>(mode, 1.0, offset);
}

struct NodeWeights {
  std::array<double, kMaxNodes> pi{};
  std::array<bool, kMaxNodes> in_range{};
  double log_s = 0.0;
};

// The nodes' weights pi_k and ln S, or not_finite where G is -infinity at a
// node or no node is within the model's range.
template <class Fn, int NL = Fn::NL>
PlotStatus node_weights(const Fn& fn, const Population<NL>& pop, const QuadratureRule& rule, const Vec<NL>& mode,
                        const ModeGeometry<NL>& geo, NodeWeights& w) {
  double top = -std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < static_cast<std::size_t>(rule.nodes); ++k) {
    const double g = exponent(fn, pop, node_position<NL>(mode, geo.L, rule.x[k]));
    if (g == -std::numeric_limits<double>::infinity()) return PlotStatus::not_finite;
    w.in_range[k] = std::isfinite(g);
    if (!w.in_range[k]) continue;
    w.pi[k] = rule.log_weight[k] + (rule.squared_norm[k] - 0.5 * (g - geo.G));
    top = std::fmax(top, w.pi[k]);
  }
  double sum = 0.0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(rule.nodes); ++k) {
    w.pi[k] = w.in_range[k] ? exp_of(w.pi[k] - top) : 0.0;
    sum += w.pi[k];
  }
  for (std::size_t k = 0; k < static_cast<std::size_t>(rule.nodes); ++k) w.pi[k] = w.pi[k] / sum;
  w.log_s = top + log_of(sum);
  return std::isfinite(w.log_s) ? PlotStatus::ok : PlotStatus::not_finite;
}

template <int NL>
void node_moments(const QuadratureRule& rule, const Vec<NL>& mode, const ModeGeometry<NL>& geo, const NodeWeights& w,
                  Vec<NL>& mean, Mat<NL>& cov) {
  mean = {};
  cov = {};
  for (std::size_t k = 0; k < static_cast<std::size_t>(rule.nodes); ++k) {
    const Vec<NL> u = node_position<NL>(mode, geo.L, rule.x[k]);
    for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) mean[l] += w.pi[k] * u[l];
  }
  for (std::size_t k = 0; k < static_cast<std::size_t>(rule.nodes); ++k) {
    const Vec<NL> u = node_position<NL>(mode, geo.L, rule.x[k]);
    for (int l = 0; l < NL; ++l)
      for (int m = 0; m < NL; ++m)
        cov[entry<NL>(l, m)] += w.pi[k] * ((u[static_cast<std::size_t>(l)] - mean[static_cast<std::size_t>(l)]) *
                                           (u[static_cast<std::size_t>(m)] - mean[static_cast<std::size_t>(m)]));
  }
}

// The gradient of the quadrature's term, or not_finite where a node's
// derivatives are not finite.
template <class Fn, int NL = Fn::NL, int NG = Fn::NG>
PlotStatus node_gradient(const Fn& fn, const Population<NL>& pop, const QuadratureRule& rule, const Vec<NL>& mode,
                         const ModeGeometry<NL>& geo, const NodeWeights& w, const OuterMotion<NL, NG>& motion,
                         std::array<double, outer_count(NG, NL)>& gradient) {
  constexpr std::size_t kOuter = static_cast<std::size_t>(outer_count(NG, NL));
  std::array<Mat<NL>, kOuter> dL;
  for (std::size_t j = 0; j < kOuter; ++j) {
    Mat<NL> ds = product<NL>(product<NL>(geo.sigma, motion.dH[j]), geo.sigma);
    for (double& v : ds) v = -0.5 * v;
    dL[j] = cholesky_derivative<NL>(geo.L, ds);
  }
  std::array<double, kOuter> sum{};
  for (std::size_t k = 0; k < static_cast<std::size_t>(rule.nodes); ++k) {
    if (!w.in_range[k]) continue;
    const Vec<NL> u = node_position<NL>(mode, geo.L, rule.x[k]);
    const AtNode<NL, NG> node = node_expansion(fn, pop, u);
    const auto g_phi = outer_exponent_gradient<NL, NG>(pop, residual(pop, u), node.ftheta);
    Vec<NL> xs{};
    for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) xs[l] = std::sqrt(2.0) * rule.x[k][l];
    for (std::size_t j = 0; j < kOuter; ++j) {
      const Vec<NL> du = plus<NL>(motion.du[j], 1.0, apply<NL>(dL[j], xs));
      sum[j] += w.pi[k] * (g_phi[j] + dot<NL>(node.g, du));
    }
  }
  bool finite = true;
  for (std::size_t j = 0; j < kOuter; ++j) {
    gradient[j] = motion.trace[j] + sum[j];
    finite = finite && std::isfinite(gradient[j]);
  }
  return finite ? PlotStatus::ok : PlotStatus::not_finite;
}

}  // namespace model::marginal
