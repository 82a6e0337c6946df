// The product Gauss-Hermite rule of adaptive quadrature: K nodes x_k and
// weights w_k per local with
//   integral of e^(-x^2) g(x) dx ~ sum_k w_k g(x_k)   (exact for g of degree < 2K),
// from the eigenvalues of the symmetric tridiagonal Jacobi matrix of the
// Hermite polynomials (off-diagonal sqrt(j / 2), j = 1 .. K - 1; Golub and
// Welsch), each node then polished by Newton's method on the orthonormal
// polynomial p_K, and the weights normalised to sum 1 from the Christoffel
// function, w_k / sqrt(pi) = 1 / sum_{j<K} p_j(x_k)^2, with
//   p_0 = 1, p_1 = sqrt(2) x, p_{j+1} = (x p_j - sqrt(j / 2) p_{j-1}) / sqrt((j + 1) / 2),
//   p_K' = sqrt(2 K) p_{K-1}.
// The nodes are made symmetric about 0 (the middle one exactly 0 for odd K).
// For NL locals the rule is the K^NL products of the one-local rule, node
// (k1, k2) at position k1 + K k2, with the weight w_k1 w_k2 / pi.
//
// K = 1 is the Laplace approximation: one node at 0 with weight 1.
#pragma once

#include <array>

namespace model::marginal {

// The nodes per local a fit may ask for, and the most a rule can hold (rules
// beyond the fits' range serve as references).
inline constexpr int kMaxNodesPerLocal = 20;
inline constexpr int kMaxHermiteNodes = 30;
inline constexpr int kMaxMarginalLocals = 2;
inline constexpr int kMaxNodes = kMaxHermiteNodes * kMaxHermiteNodes;

struct QuadratureRule {
  int nodes_per_local = 0;                                            // K
  int nl = 0;                                                         // number of locals
  int nodes = 0;                                                      // K^NL
  std::array<std::array<double, kMaxMarginalLocals>, kMaxNodes> x{};  // unit nodes
  std::array<double, kMaxNodes> squared_norm{};                       // |x|^2
  std::array<double, kMaxNodes> log_weight{};                         // ln of the normalised product weight
};

// The rule of K nodes per local for nl locals, as a fit asks for it. Throws
// std::invalid_argument, naming the value, for K outside 1 ..
// kMaxNodesPerLocal or nl outside 1 .. kMaxMarginalLocals.
QuadratureRule quadrature_rule(int nodes_per_local, int nl);

// The one-local rule of K = 1 .. kMaxHermiteNodes nodes (increasing) and
// normalised weights, and the product rule of nl = 1 .. 2 locals made of it;
// both throw std::invalid_argument outside those ranges.
struct HermiteRule {
  int k = 0;
  std::array<double, kMaxHermiteNodes> x{};
  std::array<double, kMaxHermiteNodes> w{};
};
HermiteRule hermite_rule(int nodes_per_local);
QuadratureRule product_rule(const HermiteRule& rule, int nl);

}  // namespace model::marginal
