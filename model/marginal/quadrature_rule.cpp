#include "model/marginal/quadrature_rule.hpp"

#include <Eigen/Eigenvalues>
#include <cmath>
#include <stdexcept>
#include <string>

#include "model/marginal/model_adapter.hpp"

namespace model::marginal {
namespace {

struct Orthonormal {
  double p;       // p_K(x)
  double p_prev;  // p_{K-1}(x)
  double sum_sq;  // sum_{j<K} p_j(x)^2
};

Orthonormal orthonormal_hermite(int k, double x) {
  double prev = 0.0, p = 1.0, sum_sq = 0.0;
  for (int j = 0; j < k; ++j) {
    sum_sq += p * p;
    const double next = (x * p - std::sqrt(0.5 * j) * prev) / std::sqrt(0.5 * (j + 1));
    prev = p;
    p = next;
  }
  return {p, prev, sum_sq};
}

// The eigenvalues of the Jacobi matrix, in increasing order.
Eigen::VectorXd jacobi_eigenvalues(int k) {
  Eigen::MatrixXd jacobi = Eigen::MatrixXd::Zero(k, k);
  for (int j = 1; j < k; ++j) jacobi(j - 1, j) = jacobi(j, j - 1) = std::sqrt(0.5 * j);
  return Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(jacobi, Eigen::EigenvaluesOnly).eigenvalues();
}

}  // namespace

HermiteRule hermite_rule(int k) {
  if (k < 1 || k > kMaxHermiteNodes)
    throw std::invalid_argument("a Gauss-Hermite rule has 1 to " + std::to_string(kMaxHermiteNodes) + " nodes, not " +
                                std::to_string(k));
  HermiteRule rule;
  rule.k = k;
  const Eigen::VectorXd x0 = jacobi_eigenvalues(k);
  for (int i = 0; i < k; ++i) {
    double x = x0(i);
    for (int step = 0; step < 3; ++step) {  // Newton on p_K, from a root good to rounding
      const Orthonormal h = orthonormal_hermite(k, x);
      x -= h.p / (std::sqrt(2.0 * k) * h.p_prev);
    }
    rule.x[static_cast<std::size_t>(i)] = x;
  }
  // Symmetry: x_i = -x_{k-1-i}, the weights equal in pairs.
  for (int i = 0; i < k; ++i) {
    const auto lo = static_cast<std::size_t>(i), hi = static_cast<std::size_t>(k - 1 - i);
    if (lo > hi) break;
    const double x = lo == hi ? 0.0 : 0.5 * (rule.x[hi] - rule.x[lo]);
    rule.x[lo] = -x;
    rule.x[hi] = x;
  }
  double total = 0.0;
  for (int i = 0; i < k; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    rule.w[ui] = 1.0 / orthonormal_hermite(k, rule.x[ui]).sum_sq;
    total += rule.w[ui];
  }
  for (int i = 0; i < k; ++i) rule.w[static_cast<std::size_t>(i)] /= total;
  return rule;
}

QuadratureRule product_rule(const HermiteRule& one, int nl) {
  if (nl < 1 || nl > kMaxMarginalLocals)
    throw std::invalid_argument("adaptive quadrature integrates 1 or " + std::to_string(kMaxMarginalLocals) +
                                " locals, not " + std::to_string(nl));
  QuadratureRule rule;
  rule.nodes_per_local = one.k;
  rule.nl = nl;
  rule.nodes = nl == 1 ? one.k : one.k * one.k;
  for (int node = 0; node < rule.nodes; ++node) {
    const auto n = static_cast<std::size_t>(node);
    const auto k1 = static_cast<std::size_t>(node % one.k), k2 = static_cast<std::size_t>(node / one.k);
    rule.x[n][0] = one.x[k1];
    rule.x[n][1] = nl == 2 ? one.x[k2] : 0.0;
    const double w = nl == 2 ? one.w[k1] * one.w[k2] : one.w[k1];
    rule.squared_norm[n] = rule.x[n][0] * rule.x[n][0] + rule.x[n][1] * rule.x[n][1];
    rule.log_weight[n] = log_of(w);
  }
  return rule;
}

QuadratureRule quadrature_rule(int nodes_per_local, int nl) {
  if (nodes_per_local < 1 || nodes_per_local > kMaxNodesPerLocal)
    throw std::invalid_argument("the number of quadrature nodes per local must be 1 to " +
                                std::to_string(kMaxNodesPerLocal) + ", not " + std::to_string(nodes_per_local));
  if (nl < 1 || nl > kMaxMarginalLocals)
    throw std::invalid_argument("random locals are integrated for models with 1 or " +
                                std::to_string(kMaxMarginalLocals) + " locals, not " + std::to_string(nl));
  return product_rule(hermite_rule(nodes_per_local), nl);
}

}  // namespace model::marginal
