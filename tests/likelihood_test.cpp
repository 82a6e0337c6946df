// The plot objective against an independent dense Gaussian likelihood, and
// its derivatives against central differences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "model/likelihood.hpp"

namespace {

using model::Curve;
using model::CurveGradient;
using model::CurveHessian;

struct Plot {
  std::vector<double> t, h;
};

// Minus twice the log-density of the transformed heights, from the covariance
// of the Ornstein-Uhlenbeck state plus measurement error built directly.
double dense_objective(const Curve& p, const Plot& plot) {
  const double a = p[0], b = p[1], c = p[2], vs = p[3] * p[3], vp = p[4] * p[4], ve = p[5] * p[5];
  const double t0 = p[6], y0 = p[7];
  const std::size_t n = plot.t.size();
  const double A = std::pow(a, c);
  const double m0 = (y0 - A) / c;
  std::vector<double> r(n), cov(n * n);
  auto var = [&](double t) {
    const double g = std::exp(-2.0 * b * (t - t0));
    return vs * g + vp * (1.0 - g);
  };
  for (std::size_t i = 0; i < n; ++i) {
    r[i] = (std::pow(plot.h[i], c) - A) / c - m0 * std::exp(-b * (plot.t[i] - t0));
    for (std::size_t j = 0; j <= i; ++j) {
      const double v = std::exp(-b * (plot.t[i] - plot.t[j])) * var(plot.t[j]) + (i == j ? ve : 0.0);
      cov[i * n + j] = cov[j * n + i] = v;
    }
  }
  // Cholesky, log-determinant and quadratic form.
  double logdet = 0.0;
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t k = 0; k < j; ++k) cov[j * n + j] -= cov[j * n + k] * cov[j * n + k];
    cov[j * n + j] = std::sqrt(cov[j * n + j]);
    logdet += 2.0 * std::log(cov[j * n + j]);
    for (std::size_t i = j + 1; i < n; ++i) {
      for (std::size_t k = 0; k < j; ++k) cov[i * n + j] -= cov[i * n + k] * cov[j * n + k];
      cov[i * n + j] /= cov[j * n + j];
    }
  }
  double quad = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < i; ++k) r[i] -= cov[i * n + k] * r[k];
    r[i] /= cov[i * n + i];
    quad += r[i] * r[i];
  }
  double jac = 0.0;
  for (double h : plot.h) jac += std::log(h);
  return static_cast<double>(n) * model::kLog2Pi + logdet + quad + 2.0 * (1.0 - c) * jac;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  int count(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  double sign() { return count(0, 1) ? 1.0 : -1.0; }

  Curve curve() {
    return {uniform(1.5, 3.0),           uniform(0.05, 0.5),          uniform(0.2, 1.5),  sign() * uniform(0.05, 0.5),
            sign() * uniform(0.05, 0.5), sign() * uniform(0.05, 0.5), uniform(-1.0, 1.0), uniform(0.0, 1.0)};
  }
  Plot plot(int n, double t0, bool ties) {
    Plot p;
    double t = t0 + uniform(0.1, 3.0);
    for (int i = 0; i < n; ++i) {
      p.t.push_back(t);
      p.h.push_back(uniform(0.5, 3.0));
      if (!(ties && count(0, 2) == 0)) t += uniform(0.1, 4.0);
    }
    return p;
  }

 private:
  std::mt19937 rng_;
};

double objective(const Curve& c, const Plot& p) {
  return model::funct(c, static_cast<int>(p.t.size()), p.t.data(), p.h.data());
}

void derivatives(const Curve& c, const Plot& p, CurveGradient& g, CurveHessian& h) {
  model::ders(c, static_cast<int>(p.t.size()), p.t.data(), p.h.data(), g, h);
}

TEST(PlotObjective, EqualsDenseGaussianLikelihood) {
  Generator gen(11);
  for (int trial = 0; trial < 500; ++trial) {
    const Curve c = gen.curve();
    const Plot p = gen.plot(gen.count(1, 12), c[model::kCurveT0], trial % 3 == 0);
    const double dense = dense_objective(c, p);
    ASSERT_NEAR(objective(c, p), dense, 1e-10 * std::max(1.0, std::fabs(dense))) << "trial " << trial;
  }
}

// 99 heights near 2,700 (raw centimetres) overflow their product, and 99
// heights near 0.0005 underflow it: the objective is still the dense
// likelihood. A product within range is used as it is.
TEST(PlotObjective, ProductOfHeightsOutOfRangeFallsBackToTheirLogs) {
  Generator gen(17);
  for (const double scale : {2700.0, 0.0005}) {
    Plot p;
    for (int i = 0; i < 99; ++i) {
      p.t.push_back(1.0 + 0.5 * i);
      p.h.push_back(scale * gen.uniform(0.9, 1.1));
    }
    const Curve c = {scale * 1.2, 0.05, 0.6, 0.0, 0.3 * std::pow(scale, 0.6), 0.05 * std::pow(scale, 0.6), 0.0, 0.0};
    const double dense = dense_objective(c, p);
    ASSERT_TRUE(std::isfinite(dense));
    EXPECT_NEAR(objective(c, p), dense, 1e-10 * std::fabs(dense)) << scale;
  }
}

TEST(PlotObjective, OneMeasurementClosedForm) {
  const Curve c = {2.0, 0.3, 0.7, 0.2, 0.4, 0.1, 0.5, 0.6};
  const Plot p{{3.0}, {1.4}};
  const double A = std::pow(2.0, 0.7);
  const double E = std::exp((0.5 - 3.0) * 0.3);
  const double V = (0.2 * 0.2) * (E * E) + ((1.0 - E * E) * (0.4 * 0.4) + 0.1 * 0.1);
  const double R = (std::pow(1.4, 0.7) - A) / 0.7 - ((0.6 - A) / 0.7) * E;
  EXPECT_EQ(objective(c, p), 1 * model::kLog2Pi + R * R / V + std::log(V) + std::log(1.4) * (2.0 * (1.0 - 0.7)));
}

TEST(PlotObjective, SignsOfDeviationsDoNotMatterAndPowerOneDropsJacobian) {
  Generator gen(5);
  const Curve c = gen.curve();
  const Plot p = gen.plot(6, c[model::kCurveT0], false);
  Curve flipped = c;
  flipped[model::kCurveS0] = -c[model::kCurveS0];
  flipped[model::kCurveSp] = -c[model::kCurveSp];
  flipped[model::kCurveSe] = -c[model::kCurveSe];
  EXPECT_EQ(objective(c, p), objective(flipped, p));
  Curve linear = c;
  linear[2] = 1.0;
  EXPECT_NEAR(objective(linear, p), dense_objective(linear, p), 1e-10 * std::fabs(objective(linear, p)));
}

TEST(PlotObjective, NonFiniteValuesPassThrough) {
  Curve c = {2.0, 0.3, 0.7, 0.0, 0.0, 0.0, 0.0, 0.0};  // all deviations zero: V = 0
  const Plot p{{1.0, 2.0}, {1.0, 1.5}};
  EXPECT_FALSE(std::isfinite(objective(c, p)));
}

// Central differences of f for the gradient, of the gradient for the Hessian.
void expect_matches_differences(const Curve& c, const Plot& p, const char* label) {
  CurveGradient g{};
  CurveHessian h{};
  h.fill(12345.0);
  derivatives(c, p, g, h);
  for (int k = 0; k < 8; ++k) {
    const double step = 1e-6 * std::max(1.0, std::fabs(c[static_cast<std::size_t>(k)]));
    Curve up = c, down = c;
    up[static_cast<std::size_t>(k)] += step;
    down[static_cast<std::size_t>(k)] -= step;
    const double fd = (objective(up, p) - objective(down, p)) / (2.0 * step);
    ASSERT_NEAR(g[static_cast<std::size_t>(k)], fd, 1e-5 * std::max(1.0, std::fabs(fd))) << label << " gradient " << k;

    const double hstep = 1e-5 * std::max(1.0, std::fabs(c[static_cast<std::size_t>(k)]));
    up = c;
    down = c;
    up[static_cast<std::size_t>(k)] += hstep;
    down[static_cast<std::size_t>(k)] -= hstep;
    CurveGradient gu{}, gd{};
    CurveHessian scratch{};
    derivatives(up, p, gu, scratch);
    derivatives(down, p, gd, scratch);
    for (int m = 0; m < 8; ++m) {
      const double fdh = (gu[static_cast<std::size_t>(m)] - gd[static_cast<std::size_t>(m)]) / (2.0 * hstep);
      const int lo = std::min(k, m), hi = std::max(k, m);
      const double exact = h[static_cast<std::size_t>(lo + 8 * hi)];
      ASSERT_NEAR(exact, fdh, 1e-5 * std::max(1.0, std::fabs(fdh))) << label << " hessian " << k << "," << m;
      if (k > m) {
        ASSERT_EQ(h[static_cast<std::size_t>(k + 8 * m)], 12345.0) << "lower triangle written";
      }
    }
  }
}

TEST(PlotDerivatives, MatchCentralDifferences) {
  Generator gen(7);
  for (int trial = 0; trial < 200; ++trial) {
    const Curve c = gen.curve();
    const Plot p = gen.plot(gen.count(1, 10), c[model::kCurveT0], trial % 2 == 0);
    expect_matches_differences(c, p, "random");
    if (HasFatalFailure()) return;
  }
}

TEST(PlotDerivatives, SpecialCases) {
  Generator gen(3);
  Curve c = gen.curve();
  expect_matches_differences(c, gen.plot(1, c[model::kCurveT0], false), "one measurement");
  expect_matches_differences(c, Plot{{2.0, 2.0, 2.0, 5.0}, {1.0, 1.1, 1.2, 1.8}}, "equal ages");
  Curve no_error = c;
  no_error[5] = 0.0;
  expect_matches_differences(no_error, gen.plot(5, c[model::kCurveT0], false), "sigma_e = 0");
  Curve exact_start = c;
  exact_start[3] = 0.0;
  expect_matches_differences(exact_start, gen.plot(5, c[model::kCurveT0], false), "sigma_0 = 0");
  Curve linear = c;
  linear[2] = 1.0;
  expect_matches_differences(linear, gen.plot(5, c[model::kCurveT0], false), "c = 1");
  Curve negative = c;
  negative[3] = -0.3;
  negative[4] = -0.2;
  negative[5] = -0.15;
  expect_matches_differences(negative, gen.plot(6, c[model::kCurveT0], true), "negative deviations");
}

}  // namespace
