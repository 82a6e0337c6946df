// The projector's arithmetic against independent computations: conditional
// moments of the power-scale state against Gaussian conditioning on the
// plot's dense covariance matrix, built directly from the growth law; the
// innovations against the plot objective itself.
#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "model/lanes/objective_math.hpp"
#include "model/likelihood.hpp"
#include "projector/histogram.hpp"
#include "projector/innovations.hpp"
#include "projector/power_scale.hpp"
#include "projector/state_smoother.hpp"

namespace {

using model::Curve;
using Matrix = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;
using Vector = Eigen::Matrix<long double, Eigen::Dynamic, 1>;

// The law: X(t0) ~ N(m0, vs); X(t) = exp(-b d) X(s) + noise of variance
// vp (1 - exp(-2 b d)). So E X(t) = m0 exp(-b (t - t0)),
// var X(t) = vs e^{-2b(t-t0)} + vp (1 - e^{-2b(t-t0)}), and for s <= t
// cov(X(s), X(t)) = exp(-b (t - s)) var X(s).
struct DenseLaw {
  const Curve& c;
  long double mean(long double t) const {
    const long double m0 =
        (c[model::kCurveY0] - std::pow((long double)c[model::kCurveA], (long double)c[model::kCurveC])) /
        c[model::kCurveC];
    return m0 * std::exp(-c[model::kCurveB] * (t - c[model::kCurveT0]));
  }
  long double cov(long double s, long double t) const {
    if (s > t) std::swap(s, t);
    const long double g = std::exp(-2 * c[model::kCurveB] * (s - c[model::kCurveT0]));
    const long double var =
        c[model::kCurveS0] * c[model::kCurveS0] * g + c[model::kCurveSp] * c[model::kCurveSp] * (1 - g);
    return std::exp(-c[model::kCurveB] * (t - s)) * var;
  }
};

// Conditional mean and variance of X(s) for each requested s given Y.
void condition(const Curve& curve, const std::vector<double>& t, const std::vector<double>& y,
               const std::vector<double>& s, std::vector<long double>& mean, std::vector<long double>& var) {
  const DenseLaw law{curve};
  const int n = static_cast<int>(t.size()), m = static_cast<int>(s.size());
  Matrix syy(n, n), ssy(m, n);
  Vector r(n);
  for (int i = 0; i < n; ++i) {
    r(i) = y[i] - law.mean(t[i]);
    for (int k = 0; k < n; ++k)
      syy(i, k) = law.cov(t[i], t[k]) + (i == k ? curve[model::kCurveSe] * curve[model::kCurveSe] : 0.0);
    for (int j = 0; j < m; ++j) ssy(j, i) = law.cov(s[j], t[i]);
  }
  const Eigen::LDLT<Matrix> f(syy);
  const Vector w = f.solve(r);
  const Matrix k = f.solve(ssy.transpose());
  mean.resize(m);
  var.resize(m);
  for (int j = 0; j < m; ++j) {
    mean[j] = law.mean(s[j]) + ssy.row(j).dot(w);
    var[j] = law.cov(s[j], s[j]) - ssy.row(j).dot(k.col(j));
  }
}

Curve random_curve(std::mt19937_64& rng, bool negative_power) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Curve c{};
  c[model::kCurveA] = 2.0 + 3.0 * u(rng);                                   // a
  c[model::kCurveB] = 0.05 + 0.3 * u(rng);                                  // b
  c[model::kCurveC] = negative_power ? -0.3 - 0.4 * u(rng) : 0.3 + u(rng);  // c
  c[model::kCurveS0] = u(rng) < 0.3 ? 0.0 : 0.05 + 0.3 * u(rng);            // sigma0, sometimes exact
  c[model::kCurveSp] = 0.05 + 0.4 * u(rng);                                 // sigma_p
  c[model::kCurveSe] = 0.01 + 0.2 * u(rng);                                 // sigma_e
  c[model::kCurveT0] = u(rng);                                              // t0
  c[model::kCurveY0] = std::pow(0.1 + 0.5 * u(rng), c[model::kCurveC]);     // y0
  return c;
}

TEST(ProjectorMath, SmoothedMomentsEqualDenseConditioning) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 60; ++trial) {
    const Curve curve = random_curve(rng, trial % 4 == 3);
    const projector::PowerScale scale = projector::power_scale(curve);
    const int n = 1 + trial % 12;
    std::vector<double> t, h, y;
    double age = curve[model::kCurveT0] + 0.5 + 2 * u(rng);
    for (int i = 0; i < n; ++i) {
      if (i == 0 || u(rng) > 0.15) age += 0.3 + 3 * u(rng);  // sometimes two measurements at one age
      t.push_back(age);
      h.push_back(scale.height(scale.state(1.0 + 0.5 * i) + 0.1 * (u(rng) - 0.5)));
      y.push_back(scale.state(h.back()));
    }
    // Before, between, at and after the measurements, and far beyond.
    std::vector<double> s = {curve[model::kCurveT0] + 0.1,
                             t[0] - 0.2,
                             t[0],
                             (t[0] + t.back()) / 2 + 0.01,
                             t.back(),
                             t.back() + 1.5,
                             t.back() + 40};
    std::sort(s.begin(), s.end());
    s.erase(std::unique(s.begin(), s.end()), s.end());
    projector::SmoothedState out;
    projector::smooth_state(curve, n, t.data(), y.data(), static_cast<int>(s.size()), s.data(), out);
    std::vector<long double> mean, var;
    condition(curve, t, y, s, mean, var);
    for (std::size_t j = 0; j < s.size(); ++j) {
      EXPECT_NEAR(out.at_ages[j].mean, mean[j], 1e-10 * std::fabs(mean[j])) << "trial " << trial << " age " << s[j];
      EXPECT_NEAR(out.at_ages[j].variance, var[j], 1e-10 * var[j] + 1e-300) << "trial " << trial << " age " << s[j];
    }
    condition(curve, t, y, t, mean, var);
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(out.at_measurements[i].mean, mean[i], 1e-10 * std::fabs(mean[i])) << "trial " << trial;
      EXPECT_NEAR(out.at_measurements[i].variance, var[i], 1e-10 * var[i]) << "trial " << trial;
    }
  }
}

TEST(ProjectorMath, AgesBeforeTheStartHaveNoMoments) {
  const Curve curve = {3.0, 0.2, 0.7, 0.1, 0.2, 0.05, 1.0, 0.0};
  const double t[] = {2.0}, y[] = {-1.0}, s[] = {0.5, 2.0};
  projector::SmoothedState out;
  projector::smooth_state(curve, 1, t, y, 2, s, out);
  EXPECT_TRUE(std::isnan(out.at_ages[0].mean));
  EXPECT_TRUE(std::isfinite(out.at_ages[1].mean));
}

// The innovations rebuild the plot objective to the last bit.
TEST(ProjectorMath, InnovationsAreThoseOfThePlotObjective) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 40; ++trial) {
    const Curve curve = random_curve(rng, trial % 5 == 4);
    const int n = 1 + trial % 15;
    std::vector<double> t(n), h(n);
    for (int i = 0; i < n; ++i) {
      t[i] = curve[model::kCurveT0] + 1 + 2 * i + (u(rng) < 0.1 ? 0 : u(rng));
      h[i] = 0.5 + 0.3 * i + 0.2 * u(rng);
    }
    std::vector<projector::Innovation> in(n);
    projector::innovations(curve, n, t.data(), h.data(), in.data());
    double f = n * model::kLog2Pi, p = h[0];
    for (int i = 0; i < n; ++i) {
      f = f + in[i].r * in[i].r / in[i].v + model::objective_log(in[i].v);
      if (i > 0) p = p * h[i];
    }
    f = f + model::objective_log(p) * (2.0 * (1.0 - curve[model::kCurveC]));
    EXPECT_EQ(f, model::funct(curve, n, t.data(), h.data())) << "trial " << trial;
  }
}

// Outside the image of the heights: 0 below (c > 0), infinity above (c < 0);
// inside, the inverse.
TEST(ProjectorMath, BackTransformAtTheEdgesOfTheScale) {
  const projector::PowerScale up{std::pow(3.0, 0.5), 0.5}, down{std::pow(3.0, -0.5), -0.5};
  EXPECT_EQ(up.height(-10.0), 0.0);
  EXPECT_EQ(down.height(10.0), HUGE_VAL);
  EXPECT_NEAR(up.height(up.state(2.5)), 2.5, 1e-14);
  EXPECT_NEAR(down.height(down.state(2.5)), 2.5, 1e-14);
  EXPECT_LT(down.height(down.state(2.5) - 0.1), 2.5);  // increasing for c < 0 too
}

}  // namespace

namespace {

// Streamed quantiles (the Q-Q plot, the guide curves) against sorting: within
// one bin width; a constant stream gives the constant.
TEST(ProjectorMath, HistogramQuantilesMatchSortedValues) {
  std::mt19937_64 rng(2);
  std::normal_distribution<double> normal(1.0, 2.0);
  std::vector<double> values(5001);
  for (double& v : values) v = normal(rng);
  const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
  const double width = (*hi - *lo) / 4096;
  projector::Histogram h(*lo, *hi, 4096), constant(3.5, 3.5, 16);
  for (double v : values) {
    h.add(v);
    constant.add(3.5);
  }
  std::sort(values.begin(), values.end());
  for (double p : {0.01, 0.1, 0.5, 0.9, 0.99}) {
    // Between the neighbouring order statistics, give or take a bin.
    const auto k = static_cast<std::size_t>(p * 5000);
    EXPECT_GE(h.quantile(p), values[k - 2] - width) << p;
    EXPECT_LE(h.quantile(p), values[k + 2] + width) << p;
    EXPECT_EQ(constant.quantile(p), 3.5);
  }
}

}  // namespace
