// Packed Cholesky factorisation with its modified form, substitutions and
// inverse.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "console_capture.hpp"
#include "estimator/cholesky.hpp"

namespace {

using estimator::chinv;
using estimator::chol1;
using estimator::chol2;

struct Factored {
  std::vector<double> a;
  int ierr = -1;
  int warnings = 0;
};

Factored factor(std::vector<double> a, int n) {
  Factored r;
  std::vector<double> b(static_cast<std::size_t>(n), 0.0);
  const int nn = n * (n + 1) / 2;
  const std::string out = console_output([&] { r.warnings = chol1(n, nn, 1, n, a, b, r.ierr); });
  r.a = a;
  EXPECT_EQ(out, "") << "the caller writes the warnings";
  return r;
}

void expect_values(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i)
    EXPECT_NEAR(got[i], want[i], 1e-14 * std::max(1.0, std::fabs(want[i]))) << i;
}

TEST(Cholesky, SmallExamples) {
  Factored one = factor({4.0}, 1);
  EXPECT_EQ(one.ierr, 0);
  EXPECT_EQ(one.warnings, 0);
  expect_values(one.a, {0.5});
  std::vector<double> b = {2.0};
  int ierr = 0;
  std::vector<double> a = {4.0};
  chol1(1, 1, 1, 1, a, b, ierr);
  chol2(1, 1, 1, 1, a, b);
  EXPECT_EQ(b[0], 0.5);
  estimator::InverseMatrix c{};
  chinv(1, 1, a, c);
  EXPECT_EQ(c[0], 0.25);

  Factored two = factor({4.0, 2.0, 3.0}, 2);
  EXPECT_EQ(two.ierr, 0);
  expect_values(two.a, {0.5, 1.0, 1.0 / std::sqrt(2.0)});
  c.fill(-7.0);
  chinv(2, 3, two.a, c);
  EXPECT_NEAR(c[0], 0.375, 1e-15);
  EXPECT_NEAR(c[1], -0.25, 1e-15);
  EXPECT_NEAR(c[11], 0.5, 1e-15);
  EXPECT_EQ(c[10], -7.0) << "upper triangle left alone";
}

TEST(Cholesky, PivotThresholdsAndWarningCounts) {
  Factored zero = factor({0.0}, 1);
  EXPECT_EQ(zero.ierr, 1);
  EXPECT_EQ(zero.warnings, 2);
  EXPECT_NEAR(zero.a[0], 1.0 / std::sqrt(1e-10), 1e-6);

  EXPECT_EQ(factor({5e-11}, 1).warnings, 2);
  Factored minus = factor({-1e-10}, 1);
  EXPECT_EQ(minus.ierr, 1);
  EXPECT_EQ(minus.warnings, 1);
  Factored exact = factor({1e-10}, 1);
  EXPECT_EQ(exact.ierr, 0);
  EXPECT_EQ(exact.warnings, 0);
  Factored negative = factor({-4.0}, 1);
  EXPECT_EQ(negative.ierr, 1);
  EXPECT_EQ(negative.warnings, 0);
  expect_values(negative.a, {0.5});
}

TEST(Cholesky, ModifiedFactorisationExamples) {
  Factored indefinite = factor({1.0, 2.0, 1.0, 0.0, 0.0, 1.0}, 3);
  EXPECT_EQ(indefinite.ierr, 1);
  EXPECT_EQ(indefinite.warnings, 0);
  expect_values(indefinite.a, {1.0, 2.0, 1.0 / std::sqrt(3.0), 0.0, 0.0, 1.0});

  Factored swap = factor({0.0, 1.0, 0.0}, 2);
  EXPECT_EQ(swap.ierr, 1);
  EXPECT_EQ(swap.warnings, 2);
  expect_values(swap.a, {1.0 / std::sqrt(2.0), 1.0 / std::sqrt(2.0), std::sqrt(2.0)});
}

// Random positive definite systems: chol1 + chol2 solve them, chinv inverts,
// and chol1's columns are L^-1 b (their inner products give b^T A^-1 b).
TEST(Cholesky, SolvesAndInvertsPositiveDefiniteSystems) {
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n = 1; n <= 10; ++n) {
    std::vector<double> m(static_cast<std::size_t>(n * n));
    for (double& x : m) x = u(rng);
    std::vector<double> full(static_cast<std::size_t>(n * n), 0.0);  // M M^T + n I
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        double s = i == j ? n : 0.0;
        for (int k = 0; k < n; ++k)
          s += m[static_cast<std::size_t>(i * n + k)] * m[static_cast<std::size_t>(j * n + k)];
        full[static_cast<std::size_t>(i * n + j)] = s;
      }
    std::vector<double> packed;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j <= i; ++j) packed.push_back(full[static_cast<std::size_t>(i * n + j)]);
    const int nn = n * (n + 1) / 2;
    const int m_cols = 3;
    std::vector<double> b(static_cast<std::size_t>(n * m_cols));
    for (double& x : b) x = u(rng);
    const std::vector<double> b0 = b;
    std::vector<double> a = packed;
    int ierr = -1;
    chol1(n, nn, m_cols, n * m_cols, a, b, ierr);
    ASSERT_EQ(ierr, 0);
    double quadratic = 0.0;  // b0(:,1)^T A^-1 b0(:,1) from the forward-solved column
    for (int i = 0; i < n; ++i) quadratic += b[static_cast<std::size_t>(i)] * b[static_cast<std::size_t>(i)];
    chol2(n, nn, m_cols, n * m_cols, a, b);
    double direct = 0.0;
    for (int i = 0; i < n; ++i) direct += b0[static_cast<std::size_t>(i)] * b[static_cast<std::size_t>(i)];
    EXPECT_NEAR(quadratic, direct, 1e-12 * std::fabs(direct));
    for (int c = 0; c < m_cols; ++c)
      for (int i = 0; i < n; ++i) {
        double s = 0.0;
        for (int j = 0; j < n; ++j)
          s += full[static_cast<std::size_t>(i * n + j)] * b[static_cast<std::size_t>(c * n + j)];
        EXPECT_NEAR(s, b0[static_cast<std::size_t>(c * n + i)], 1e-12) << "n " << n;
      }
    estimator::InverseMatrix inv{};
    chinv(n, nn, a, inv);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        double s = 0.0;
        for (int k = 0; k < n; ++k) {
          const double v =
              k >= j ? inv[static_cast<std::size_t>(k + 10 * j)] : inv[static_cast<std::size_t>(j + 10 * k)];
          s += full[static_cast<std::size_t>(i * n + k)] * v;
        }
        EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-12) << "n " << n;
      }
  }
}

// A modified factor is the exact factor of A + E with E diagonal and >= 0.
TEST(Cholesky, ModifiedFactorIsOfANearbyMatrix) {
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> u(-2.0, 2.0);
  for (int trial = 0; trial < 50; ++trial) {
    const int n = 2 + trial % 5;
    std::vector<double> packed;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j <= i; ++j) packed.push_back(u(rng));
    const Factored f = factor(packed, n);
    // Rebuild L L^T from the factor.
    auto L = [&](int i, int j) {
      const double v = f.a[static_cast<std::size_t>(i * (i + 1) / 2 + j)];
      return i == j ? 1.0 / v : v;
    };
    for (int i = 0; i < n; ++i)
      for (int j = 0; j <= i; ++j) {
        double s = 0.0;
        for (int k = 0; k <= j; ++k) s += L(i, k) * L(j, k);
        const double original = packed[static_cast<std::size_t>(i * (i + 1) / 2 + j)];
        if (i != j) {
          EXPECT_NEAR(s, original, 1e-9 * std::max(1.0, std::fabs(original))) << "trial " << trial;
        } else {
          EXPECT_GE(s, original - 1e-9) << "trial " << trial;
        }
      }
  }
}

// A column of the modified factor with an element that is not a number has
// a largest magnitude M that is not a number, which counts as exceeding the
// bound: the column and its diagonal are scaled by r / M.
TEST(Cholesky, ColumnThatIsNotANumberIsScaledByItsNaNMaximum) {
  const Factored f = factor({0.0, std::nan(""), 1.0}, 2);
  EXPECT_EQ(f.ierr, 1);
  EXPECT_TRUE(std::isnan(f.a[0])) << f.a[0];
  EXPECT_TRUE(std::isnan(f.a[1])) << f.a[1];
}

}  // namespace
