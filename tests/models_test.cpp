// Every model's derivative transformation against the chain rule applied to
// central differences of its parameter transformation.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "console_capture.hpp"
#include "io/errors.hpp"
#include "model/model_table.hpp"
#include "model/models.hpp"

namespace {

using namespace model;

constexpr double kMarker = -987654.0;

struct Outputs {
  std::array<double, 64> ggrad, lgrad, hgg, hlg, hll;
  Outputs() {
    for (auto* a : {&ggrad, &lgrad, &hgg, &hlg, &hll}) a->fill(kMarker);
  }
};

Outputs derivatives(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg,
                    const CurveHessian& fh) {
  Outputs o;
  Curve curve{};
  trpars(esde, g, l, curve);
  trders(esde, g, l, fg, fh, o.ggrad, o.lgrad, o.hgg, o.hlg, o.hll);
  return o;
}

// Parameters in one vector: the globals, then the locals.
Curve curve_at(const Esde& esde, const std::vector<double>& u, int ng, int nl) {
  Globals g{};
  Locals l{};
  for (int i = 0; i < ng; ++i) g[static_cast<std::size_t>(i)] = u[static_cast<std::size_t>(i)];
  for (int i = 0; i < nl; ++i) l[static_cast<std::size_t>(i)] = u[static_cast<std::size_t>(ng + i)];
  Curve c;
  c.fill(std::nan(""));
  trpars(esde, g, l, c);
  return c;
}

struct ChainRule {
  std::vector<double> grad;  // by parameter
  std::vector<double> hess;  // by parameter pair, full square
};

ChainRule expected(const Esde& esde, const std::vector<double>& u, int ng, int nl, const CurveGradient& fg,
                   const CurveHessian& fh) {
  const int np = ng + nl;
  const double h = 1e-4;
  auto shifted = [&](int p, double dp, int q, double dq) {
    std::vector<double> v = u;
    v[static_cast<std::size_t>(p)] += dp;
    v[static_cast<std::size_t>(q)] += dq;
    return curve_at(esde, v, ng, nl);
  };
  std::vector<std::array<double, 8>> J(static_cast<std::size_t>(np));
  for (int p = 0; p < np; ++p) {
    const Curve up = shifted(p, h, p, 0.0), down = shifted(p, -h, p, 0.0);
    for (int k = 0; k < 8; ++k)
      J[static_cast<std::size_t>(p)][static_cast<std::size_t>(k)] =
          (up[static_cast<std::size_t>(k)] - down[static_cast<std::size_t>(k)]) / (2 * h);
  }
  auto H = [&fh](int k, int m) { return fh[static_cast<std::size_t>(std::min(k, m) + 8 * std::max(k, m))]; };
  ChainRule r{std::vector<double>(static_cast<std::size_t>(np)),
              std::vector<double>(static_cast<std::size_t>(np * np))};
  for (int p = 0; p < np; ++p) {
    double s = 0.0;
    for (int k = 0; k < 8; ++k)
      s += fg[static_cast<std::size_t>(k)] * J[static_cast<std::size_t>(p)][static_cast<std::size_t>(k)];
    r.grad[static_cast<std::size_t>(p)] = s;
    for (int q = 0; q < np; ++q) {
      const Curve pp = shifted(p, h, q, h), pm = shifted(p, h, q, -h), mp = shifted(p, -h, q, h),
                  mm = shifted(p, -h, q, -h);
      double t = 0.0;
      for (int k = 0; k < 8; ++k) {
        const auto kk = static_cast<std::size_t>(k);
        const double second =
            p == q
                ? (shifted(p, 2 * h, p, 0.0)[kk] - 2 * curve_at(esde, u, ng, nl)[kk] + shifted(p, -2 * h, p, 0.0)[kk]) /
                      (4 * h * h)
                : (pp[kk] - pm[kk] - mp[kk] + mm[kk]) / (4 * h * h);
        t += fg[kk] * second;
        for (int m = 0; m < 8; ++m)
          t += H(k, m) * J[static_cast<std::size_t>(p)][kk] *
               J[static_cast<std::size_t>(q)][static_cast<std::size_t>(m)];
      }
      r.hess[static_cast<std::size_t>(p * np + q)] = t;
    }
  }
  return r;
}

class ModelHarness : public ::testing::Test {
 protected:
  std::mt19937 rng{2026};
  double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }

  void check_model(int model, double k1, double k2) {
    const Esde esde{k1, k2, model};
    const auto [ng, nl] = model_counts(model);
    std::vector<double> u;
    for (int i = 0; i < ng + nl; ++i) u.push_back(uniform(0.5, 2.0));
    CurveGradient fg{};
    CurveHessian fh{};
    for (double& x : fg) x = uniform(-1.0, 1.0);
    for (int m = 0; m < 8; ++m)
      for (int k = 0; k < 8; ++k)
        fh[static_cast<std::size_t>(k + 8 * m)] = k <= m ? uniform(-1.0, 1.0) : 1e6 * uniform(-1, 1);
    Globals g{};
    Locals l{};
    for (int i = 0; i < ng; ++i) g[static_cast<std::size_t>(i)] = u[static_cast<std::size_t>(i)];
    for (int i = 0; i < nl; ++i) l[static_cast<std::size_t>(i)] = u[static_cast<std::size_t>(ng + i)];
    const Outputs o = derivatives(esde, g, l, fg, fh);
    const ChainRule want = expected(esde, u, ng, nl, fg, fh);
    const int np = ng + nl;
    auto near = [](double got, double w) { return std::fabs(got - w) <= 2e-6 * std::max(1.0, std::fabs(w)); };
    auto at = [](const std::array<double, 64>& a, int i) { return a[static_cast<std::size_t>(i)]; };
    for (int i = 0; i < ng; ++i)
      EXPECT_PRED2(near, at(o.ggrad, i), want.grad[static_cast<std::size_t>(i)]) << "model " << model << " ggrad " << i;
    for (int l1 = 0; l1 < nl; ++l1)
      EXPECT_PRED2(near, at(o.lgrad, l1), want.grad[static_cast<std::size_t>(ng + l1)])
          << "model " << model << " lgrad";
    for (int i = 0; i < ng; ++i)
      for (int j = 0; j <= i; ++j)
        EXPECT_PRED2(near, at(o.hgg, i * (i + 1) / 2 + j), want.hess[static_cast<std::size_t>(i * np + j)])
            << "model " << model << " hgg " << i << "," << j;
    for (int i = 0; i < ng; ++i)
      for (int l1 = 0; l1 < nl; ++l1)
        EXPECT_PRED2(near, at(o.hlg, i * nl + l1), want.hess[static_cast<std::size_t>((ng + l1) * np + i)])
            << "model " << model << " hlg " << l1 << "," << i;
    for (int a = 0; a < nl; ++a)
      for (int b = 0; b <= a; ++b)
        EXPECT_PRED2(near, at(o.hll, a * (a + 1) / 2 + b), want.hess[static_cast<std::size_t>((ng + a) * np + ng + b)])
            << "model " << model << " hll";
    // Nothing written beyond the counts.
    EXPECT_EQ(at(o.ggrad, ng), kMarker);
    EXPECT_EQ(at(o.lgrad, nl), kMarker);
    EXPECT_EQ(at(o.hgg, ng * (ng + 1) / 2), kMarker);
    EXPECT_EQ(at(o.hlg, ng * nl), kMarker);
    EXPECT_EQ(at(o.hll, nl * (nl + 1) / 2), kMarker);
  }
};

TEST_F(ModelHarness, EveryModelIsTheChainRuleOfItsTransformation) {
  for (int model = 1; model <= kModelCount; ++model) {
    for (int trial = 0; trial < 5; ++trial) check_model(model, uniform(0.5, 2.0), uniform(0.5, 2.0));
    check_model(model, 1.0, 1.3);
  }
}

TEST(Models, Model1GathersCurveGradient) {
  const Esde esde{0.0, 0.0, 1};
  CurveGradient fg = {1, 2, 3, 4, 5, 6, 7, 8};
  CurveHessian fh{};
  for (int i = 0; i < 64; ++i) fh[static_cast<std::size_t>(i)] = i;
  const Outputs o = derivatives(esde, Globals{}, Locals{}, fg, fh);
  EXPECT_EQ((std::vector<double>(o.ggrad.begin(), o.ggrad.begin() + 4)), (std::vector<double>{2, 3, 5, 6}));
  EXPECT_EQ(o.lgrad[0], 1.0);
  auto H = [](int k, int m) { return static_cast<double>((k - 1) + 8 * (m - 1)); };
  EXPECT_EQ(
      (std::vector<double>(o.hgg.begin(), o.hgg.begin() + 10)),
      (std::vector<double>{H(2, 2), H(2, 3), H(3, 3), H(2, 5), H(3, 5), H(5, 5), H(2, 6), H(3, 6), H(5, 6), H(6, 6)}));
  EXPECT_EQ((std::vector<double>(o.hlg.begin(), o.hlg.begin() + 4)),
            (std::vector<double>{H(1, 2), H(1, 3), H(1, 5), H(1, 6)}));
  EXPECT_EQ(o.hll[0], H(1, 1));
}

TEST(Models, WorkedValuesOfModels11And12) {
  CurveGradient fg = {1.5, 2, 3, 4, 5, 6, 7, 8};
  CurveHessian fh{};
  Esde esde{0.0, 0.0, 11};
  Globals g = {1.0, 2.0, 0.5, 0.1, 0.2};
  const Outputs o11 = derivatives(esde, g, Locals{0.0}, fg, fh);
  EXPECT_EQ(o11.ggrad[1], 0.0);
  EXPECT_EQ(o11.hlg[1], 1.5);  // (l1, g2) = F(1)

  esde.model = 12;
  const Outputs o12 = derivatives(esde, g, Locals{1.0}, fg, fh);
  EXPECT_EQ(o12.ggrad[1], 0.0);  // l1 = 1: a does not move with g2
  Curve c{};
  trpars(esde, g, Locals{1.0}, c);
  EXPECT_EQ(c[0], 1.0);
  g[1] = 1.0;  // g2 = 1: a = g1 l1, and hll has no second-derivative term
  trpars(esde, g, Locals{3.0}, c);
  EXPECT_EQ(c[0], 3.0);
  const Outputs linear = derivatives(esde, g, Locals{3.0}, fg, fh);
  EXPECT_EQ(linear.hll[0], 0.0);
}

TEST(Models, FixedStartWithK2Of1_3IsTheBaseModel) {
  const int base[] = {1, 6, 11, 12, 13};
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> u(0.5, 2.0);
  Esde esde;
  for (int m = 14; m <= 18; ++m) {
    CurveGradient fg;
    CurveHessian fh;
    for (double& x : fg) x = u(rng);
    for (double& x : fh) x = u(rng);
    Globals g{};
    Locals l{};
    for (double& x : g) x = u(rng);
    for (double& x : l) x = u(rng);
    esde.model = m;
    esde.k1 = u(rng);
    esde.k2 = 1.3;
    Curve c{};
    trpars(esde, g, l, c);
    EXPECT_EQ(c[6], 0.5 / esde.k1);
    EXPECT_EQ(c[7], 1.0);
    const Outputs fixed = derivatives(esde, g, l, fg, fh);
    // Row and column 7 are never read: changing them changes nothing, nor does K1.
    fg[6] = 1e9;
    for (int k = 0; k < 8; ++k) fh[static_cast<std::size_t>(k + 8 * 6)] = fh[static_cast<std::size_t>(6 + 8 * k)] = 1e9;
    esde.k1 = 123.0;
    const Outputs again = derivatives(esde, g, l, fg, fh);
    esde.model = base[m - 14];
    const Outputs plain = derivatives(esde, g, l, fg, fh);
    EXPECT_EQ(fixed.ggrad, plain.ggrad) << "model " << m;
    EXPECT_EQ(fixed.hgg, plain.hgg) << "model " << m;
    EXPECT_EQ(fixed.hlg, plain.hlg) << "model " << m;
    EXPECT_EQ(fixed.hll, plain.hll) << "model " << m;
    EXPECT_EQ(again.hgg, fixed.hgg) << "model " << m;
  }
  esde.model = 14;
  esde.k1 = 1.0;
  esde.k2 = 1.0;
  Curve c{};
  trpars(esde, Globals{0.1, 0.7, 0.2, 0.3}, Locals{2.0}, c);
  EXPECT_EQ(c[6], 0.5);
  EXPECT_EQ(c[7], std::pow(1.3, 0.7));
}

TEST(Models, CurveElementsNotEstimatedAreZero) {
  // Which curve positions each model estimates (1-based), besides a, b, c.
  for (int model = 1; model <= 13; ++model) {
    const Esde esde{0.0, 0.0, model};
    Curve c;
    c.fill(99.0);
    Globals g;
    g.fill(0.75);
    Locals l;
    l.fill(1.25);
    trpars(esde, g, l, c);
    const bool start_dev = model == 4 || model == 5 || model == 9 || model == 10;
    const bool t0 = model == 2 || model == 5 || model == 7 || model == 10;
    const bool y0 = model == 3 || model == 8;
    EXPECT_EQ(c[3] != 0.0, start_dev) << "model " << model;
    EXPECT_EQ(c[6] != 0.0, t0) << "model " << model;
    EXPECT_EQ(c[7] != 0.0, y0) << "model " << model;
    for (int k : {0, 1, 2, 4, 5}) EXPECT_NE(c[static_cast<std::size_t>(k)], 99.0);
  }
}

}  // namespace
