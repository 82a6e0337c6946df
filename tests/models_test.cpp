// Every model's derivative transformation, hand-written and taken through
// jets, against the chain rule applied to central differences of its curve
// map; and every row of the catalogue against what its curve map does.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string_view>
#include <vector>

#include "console_capture.hpp"
#include "io/errors.hpp"
#include "model/curve_jet.hpp"
#include "model/jet_derivatives.hpp"
#include "model/model_table.hpp"
#include "model/models.hpp"
#include "model/moved_parameters.hpp"
#include "starter/model_roles.hpp"
#include "starter/start_point.hpp"

namespace {

using namespace model;

constexpr double kMarker = -987654.0;

struct Outputs {
  std::array<double, 64> ggrad, lgrad, hgg, hlg, hll;
  Outputs() {
    for (auto* a : {&ggrad, &lgrad, &hgg, &hlg, &hll}) a->fill(kMarker);
  }
};

// trders, which takes a model's hand-written trdN where it has one, or the
// derivatives of its curve map through jets.
enum class Path { trders, jets };

Outputs derivatives(const Esde& esde, const Globals& g, const Locals& l, const CurveGradient& fg,
                    const CurveHessian& fh, Path path = Path::trders) {
  Outputs o;
  Curve curve{};
  trpars(esde, g, l, curve);
  if (path == Path::trders)
    trders(esde, g, l, fg, fh, o.ggrad, o.lgrad, o.hgg, o.hlg, o.hll);
  else
    jet_derivatives(catalogue_entry(esde.model), esde, g, l, fg, fh, o.ggrad, o.lgrad, o.hgg, o.hlg, o.hll);
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

  void check_model(int model, double k1, double k2, Path path = Path::trders) {
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
    const Outputs o = derivatives(esde, g, l, fg, fh, path);
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

// The path a model without a hand-written trdN takes, on every curve map.
TEST_F(ModelHarness, JetDerivativesAreTheChainRuleOfEveryCurveMap) {
  for (int model = 1; model <= kModelCount; ++model) {
    for (int trial = 0; trial < 3; ++trial) check_model(model, uniform(0.5, 2.0), uniform(0.5, 2.0), Path::jets);
    check_model(model, 1.0, 1.3, Path::jets);
  }
}

// Two independent exact computations agree to rounding: the hand-written
// closed forms and forward differentiation of the curve maps. The curve
// derivatives of the parameters a model does not move are not-a-number, as
// the likelihood kernels leave them, and must not be read.
TEST_F(ModelHarness, JetDerivativesAgreeWithTheHandWrittenOnesToRounding) {
  for (int model = 1; model <= kModelCount; ++model) {
    const auto [ng, nl] = model_counts(model);
    const CurveMask moved = moved_parameters(model);
    for (int trial = 0; trial < 20; ++trial) {
      const Esde esde{uniform(0.5, 2.0), uniform(0.5, 2.0), model};
      Globals g{};
      Locals l{};
      for (int i = 0; i < ng; ++i) g[static_cast<std::size_t>(i)] = uniform(0.2, 3.0);
      for (int i = 0; i < nl; ++i) l[static_cast<std::size_t>(i)] = uniform(0.2, 3.0);
      CurveGradient fg{};
      CurveHessian fh{};
      for (int m = 0; m < kCurveSize; ++m) {
        const bool in_m = (moved & curve_bit(m)) != 0u;
        fg[static_cast<std::size_t>(m)] = in_m ? uniform(-5.0, 5.0) : std::nan("");
        for (int k = 0; k <= m; ++k)
          fh[static_cast<std::size_t>(k + 8 * m)] =
              in_m && (moved & curve_bit(k)) != 0u ? uniform(-5.0, 5.0) : std::nan("");
      }
      const Outputs hand = derivatives(esde, g, l, fg, fh, Path::trders);
      const Outputs jets = derivatives(esde, g, l, fg, fh, Path::jets);
      const auto same = [&](const std::array<double, 64>& x, const std::array<double, 64>& y, int count,
                            const char* what) {
        for (int i = 0; i < count; ++i) {
          const double a = x[static_cast<std::size_t>(i)], b = y[static_cast<std::size_t>(i)];
          EXPECT_NEAR(a, b, 1e-12 * std::max(1.0, std::fabs(b))) << "model " << model << " " << what << " " << i;
        }
      };
      same(jets.ggrad, hand.ggrad, ng, "ggrad");
      same(jets.lgrad, hand.lgrad, nl, "lgrad");
      same(jets.hgg, hand.hgg, ng * (ng + 1) / 2, "hgg");
      same(jets.hlg, hand.hlg, ng * nl, "hlg");
      same(jets.hll, hand.hll, nl * (nl + 1) / 2, "hll");
    }
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
  EXPECT_EQ(c[kCurveA], 1.0);
  g[1] = 1.0;  // g2 = 1: a = g1 l1, and hll has no second-derivative term
  trpars(esde, g, Locals{3.0}, c);
  EXPECT_EQ(c[kCurveA], 3.0);
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
    EXPECT_EQ(c[kCurveT0], 0.5 / esde.k1);
    EXPECT_EQ(c[kCurveY0], 1.0);
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
  EXPECT_EQ(c[kCurveT0], 0.5);
  EXPECT_EQ(c[kCurveY0], std::pow(1.3, 0.7));
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
    EXPECT_EQ(c[kCurveS0] != 0.0, start_dev) << "model " << model;
    EXPECT_EQ(c[kCurveT0] != 0.0, t0) << "model " << model;
    EXPECT_EQ(c[kCurveY0] != 0.0, y0) << "model " << model;
    for (int k : {0, 1, 2, 4, 5}) EXPECT_NE(c[static_cast<std::size_t>(k)], 99.0);
  }
}

// Curve positions by the names results files show, written out here on
// their own.
const std::map<std::string_view, int> kPositionOfName = {{"a", 0},       {"b", 1},       {"c", 2},  {"sigma0", 3},
                                                         {"sigma_p", 4}, {"sigma_e", 5}, {"t0", 6}, {"y0", 7}};

// The curve elements that change when parameter u (globals, then locals) moves.
CurveMask moves(const Esde& esde, Globals g, Locals l, int ng, int u) {
  Curve before{}, after{};
  trpars(esde, g, l, before);
  (u < ng ? g[static_cast<std::size_t>(u)] : l[static_cast<std::size_t>(u - ng)]) += 0.25;
  trpars(esde, g, l, after);
  CurveMask m = 0;
  for (int k = 0; k < kCurveSize; ++k)
    if (after[static_cast<std::size_t>(k)] != before[static_cast<std::size_t>(k)]) m |= curve_bit(k);
  return m;
}

// What each row says (names, moved set, fixed start, tie, the starter's
// roles) against what its curve map does when each parameter moves.
TEST(Catalogue, EveryRowSaysWhatItsCurveMapDoes) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> uniform(0.5, 2.0);
  for (int model = 1; model <= kModelCount; ++model) {
    const auto [ng, nl] = model_counts(model);
    const ModelNames& names = model_names(model);
    const bool tied = catalogue_entry(model).tied != TiedAsymptote::none;
    for (int trial = 0; trial < 3; ++trial) {
      const Esde esde{uniform(rng), uniform(rng), model};
      Globals g{};
      Locals l{};
      for (int i = 0; i < ng; ++i) g[static_cast<std::size_t>(i)] = uniform(rng);
      for (int i = 0; i < nl; ++i) l[static_cast<std::size_t>(i)] = uniform(rng);
      Curve c;
      c.fill(99.0);
      trpars(esde, g, l, c);
      CurveMask moved = 0;
      for (int u = 0; u < ng + nl; ++u) {
        const std::string_view name =
            u < ng ? names.globals[static_cast<std::size_t>(u)] : names.locals[static_cast<std::size_t>(u - ng)];
        const CurveMask m = moves(esde, g, l, ng, u);
        moved |= m;
        const auto at = kPositionOfName.find(name);
        if (at == kPositionOfName.end()) {
          {  // a coefficient of the tied asymptote
            EXPECT_TRUE(tied) << "model " << model << " " << name;
          }
          EXPECT_EQ(m, curve_bit(kCurveA)) << "model " << model << " " << name;
          continue;
        }
        const double value = u < ng ? g[static_cast<std::size_t>(u)] : l[static_cast<std::size_t>(u - ng)];
        EXPECT_EQ(c[static_cast<std::size_t>(at->second)], value) << "model " << model << " " << name;
        CurveMask expect = curve_bit(at->second);
        if (name == "b" && tied) expect |= curve_bit(kCurveA);
        if (name == "c" && fixed_start(model)) {
          expect |= curve_bit(kCurveY0);
        }
        EXPECT_EQ(m, expect) << "model " << model << " " << name;
      }
      EXPECT_EQ(moved, moved_parameters(model)) << "model " << model;
      const bool asymptote_estimated =
          std::find(names.globals.begin(), names.globals.end(), "a") != names.globals.end() ||
          std::find(names.locals.begin(), names.locals.end(), "a") != names.locals.end();
      EXPECT_NE(tied, asymptote_estimated) << "model " << model;
      const bool at_fixed_point = c[kCurveT0] == 0.5 / esde.k1 && c[kCurveY0] == std::pow(1.3 / esde.k2, c[kCurveC]);
      EXPECT_EQ(fixed_start(model), at_fixed_point) << "model " << model;
      EXPECT_EQ(starter::model_roles(model).fixed_start(), at_fixed_point) << "model " << model;
      if ((moved & curve_bit(kCurveS0)) == 0u) {
        EXPECT_EQ(c[kCurveS0], 0.0) << "model " << model;
      }
      if (!at_fixed_point && (moved & curve_bit(kCurveT0)) == 0u) {
        EXPECT_EQ(c[kCurveT0], 0.0) << "model " << model;
      }
      if (!at_fixed_point && (moved & curve_bit(kCurveY0)) == 0u) {
        EXPECT_EQ(c[kCurveY0], 0.0) << "model " << model;
      }
    }
  }
}

// The starter's roles: its globals made from starting values of the curve
// parameters, with the locals at theirs, give those curve parameters back
// through the curve map (a tied asymptote starts untied, at a); and there
// its asymptote and rate locals are the ones the map puts there.
TEST(Catalogue, TheStartersRolesPutStartingValuesWhereTheCurveMapReadsThem) {
  const starter::CurveStart start{1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8};
  const Curve wanted = {1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8};
  for (int model = 1; model <= kModelCount; ++model) {
    const starter::ModelRoles roles = starter::model_roles(model);
    const Esde esde{0.9, 1.1, model};
    const Globals g = starter::globals_from(roles, start);
    Locals l{};
    if (roles.asymptote_local >= 0) l[static_cast<std::size_t>(roles.asymptote_local)] = start.a;
    if (roles.rate_local >= 0) l[static_cast<std::size_t>(roles.rate_local)] = start.b;
    Curve c{};
    trpars(esde, g, l, c);
    const CurveMask moved = moved_parameters(model);
    for (int k = 0; k < kCurveSize; ++k)
      if ((moved & curve_bit(k)) != 0u && !(k == kCurveY0 && fixed_start(model))) {
        EXPECT_EQ(c[static_cast<std::size_t>(k)], wanted[static_cast<std::size_t>(k)]) << "model " << model << " " << k;
      }
    if (roles.asymptote_local >= 0) {
      EXPECT_EQ(moves(esde, g, l, roles.ng, roles.ng + roles.asymptote_local), curve_bit(kCurveA)) << model;
    }
    if (roles.rate_local >= 0) {  // where the asymptote is tied, it starts untied
      EXPECT_EQ(moves(esde, g, l, roles.ng, roles.ng + roles.rate_local), curve_bit(kCurveB)) << model;
    }
    EXPECT_EQ(roles.asymptote_local >= 0,
              roles.kind == starter::LocalKind::asymptote || roles.kind == starter::LocalKind::asymptote_and_rate);
  }
}

// Every operation a curve map may use, composed, for values and for jets.
template <class T>
T composite(const std::array<T, 3>& x) {
  using std::exp, std::log, std::pow, std::sqrt;
  return exp(x[0] * x[1]) / x[2] + log(x[0] + x[2]) * pow(x[1], x[2]) - sqrt(x[0]) * pow(2.0, x[1]) + pow(x[2], 1.5) -
         (3.0 - x[1]) / (x[0] * 2.0 + 1.0) + (-x[2]) / 4.0;
}

TEST(CurveJet, DerivativesOfEveryOperationMatchCentralDifferences) {
  const std::array<double, 3> x = {0.7, 1.3, 0.9};
  std::array<CurveJet, 3> jets;
  for (int i = 0; i < 3; ++i)
    jets[static_cast<std::size_t>(i)] = CurveJet::parameter(x[static_cast<std::size_t>(i)], i, 3);
  const CurveJet f = composite(jets);
  EXPECT_NEAR(f.v, composite(x), 1e-15 * std::fabs(f.v));
  const auto at = [&x](int i, double di, int j, double dj) {
    std::array<double, 3> y = x;
    y[static_cast<std::size_t>(i)] += di;
    y[static_cast<std::size_t>(j)] += dj;
    return composite(y);
  };
  for (int i = 0; i < 3; ++i) {
    const double h = 1e-5;
    const double first = (at(i, h, i, 0.0) - at(i, -h, i, 0.0)) / (2 * h);
    EXPECT_NEAR(f.d[static_cast<std::size_t>(i)], first, 1e-8 * std::max(1.0, std::fabs(first))) << i;
    for (int j = 0; j <= i; ++j) {
      const double k = 1e-4;
      const double second = (at(i, k, j, k) - at(i, k, j, -k) - at(i, -k, j, k) + at(i, -k, j, -k)) / (4 * k * k);
      EXPECT_NEAR(f.dd[jet_pair(i, j)], second, 1e-6 * std::max(1.0, std::fabs(second))) << i << ", " << j;
    }
  }
}

}  // namespace
