#include "estimator/outer_algebra.hpp"

#include <Eigen/Eigenvalues>
#include <cmath>

namespace estimator {
namespace {

constexpr int kLd = model::marginal::kMaxOuter;

double& at(OuterMatrix& m, int i, int j) { return m[static_cast<std::size_t>(i * kLd + j)]; }
double at(const OuterMatrix& m, int i, int j) { return m[static_cast<std::size_t>(i * kLd + j)]; }

// The lower triangle of L with L L' = A.
bool factor(const OuterMatrix& a, int n, OuterMatrix& l) {
  l = OuterMatrix{};
  for (int j = 0; j < n; ++j) {
    double d = at(a, j, j);
    for (int k = 0; k < j; ++k) d -= at(l, j, k) * at(l, j, k);
    if (!(d > 0.0) || !std::isfinite(d)) return false;
    at(l, j, j) = std::sqrt(d);
    for (int i = j + 1; i < n; ++i) {
      double s = at(a, i, j);
      for (int k = 0; k < j; ++k) s -= at(l, i, k) * at(l, j, k);
      at(l, i, j) = s / at(l, j, j);
    }
  }
  return true;
}

void substitute(const OuterMatrix& l, int n, model::marginal::Outer& x) {
  for (int i = 0; i < n; ++i) {
    double s = x[static_cast<std::size_t>(i)];
    for (int k = 0; k < i; ++k) s -= at(l, i, k) * x[static_cast<std::size_t>(k)];
    x[static_cast<std::size_t>(i)] = s / at(l, i, i);
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = x[static_cast<std::size_t>(i)];
    for (int k = i + 1; k < n; ++k) s -= at(l, k, i) * x[static_cast<std::size_t>(k)];
    x[static_cast<std::size_t>(i)] = s / at(l, i, i);
  }
}

}  // namespace

bool solve_positive(const OuterMatrix& a, int n, const model::marginal::Outer& b, model::marginal::Outer& x) {
  OuterMatrix l;
  if (!factor(a, n, l)) return false;
  x = b;
  substitute(l, n, x);
  return true;
}

// The unit eigenvector of the most negative eigenvalue, pointing downhill
// along rhs (b in S's units), or, when rhs has no share in it, towards the
// positive side of its largest component.
Eigen::VectorXd descent_direction(const Eigen::VectorXd& v, const Eigen::VectorXd& rhs) {
  const double along = v.dot(rhs);
  Eigen::Index big = 0;
  v.cwiseAbs().maxCoeff(&big);
  const bool flip = std::fabs(along) > 1e-12 * rhs.norm() ? along > 0.0 : v(big) < 0.0;
  return flip ? Eigen::VectorXd(-v) : v;
}

bool modified_newton(const OuterMatrix& a, int n, const model::marginal::Outer& b, model::marginal::Outer& x,
                     bool* negative) {
  Eigen::MatrixXd s(n, n);
  Eigen::VectorXd d(n), rhs(n);
  for (int i = 0; i < n; ++i) {
    const double aii = std::fabs(at(a, i, i));
    if (!std::isfinite(aii) || !std::isfinite(b[static_cast<std::size_t>(i)])) return false;
    d(i) = aii > 0.0 ? std::sqrt(aii) : 1.0;
  }
  for (int i = 0; i < n; ++i) {
    rhs(i) = b[static_cast<std::size_t>(i)] / d(i);
    for (int j = 0; j < n; ++j) s(i, j) = at(a, i, j) / (d(i) * d(j));
  }
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(s);
  if (eigen.info() != Eigen::Success) return false;
  const Eigen::VectorXd lambda = eigen.eigenvalues().cwiseAbs();
  const double floor = 1e-10 * lambda.maxCoeff();
  if (!(floor > 0.0) || !std::isfinite(floor)) return false;
  const Eigen::MatrixXd& v = eigen.eigenvectors();
  Eigen::VectorXd z = -(v * (v.transpose() * rhs).cwiseQuotient(lambda.cwiseMax(floor)));
  // Eigenvalues in increasing order: the first is the most negative.
  const bool downhill_curve = eigen.eigenvalues()(0) < -floor;
  if (downhill_curve) z += descent_direction(v.col(0), rhs);
  if (negative != nullptr) *negative = downhill_curve;
  for (int i = 0; i < n; ++i) x[static_cast<std::size_t>(i)] = z(i) / d(i);
  return true;
}

bool invert_positive(const OuterMatrix& a, int n, OuterMatrix& inverse) {
  OuterMatrix l;
  if (!factor(a, n, l)) return false;
  inverse = OuterMatrix{};
  for (int j = 0; j < n; ++j) {
    model::marginal::Outer e{};
    e[static_cast<std::size_t>(j)] = 1.0;
    substitute(l, n, e);
    for (int i = 0; i < n; ++i) at(inverse, i, j) = e[static_cast<std::size_t>(i)];
  }
  return true;
}

}  // namespace estimator
