// The likelihood kernels: the lane math and every plot's objective and
// derivatives come out with the same bits on every path, in every lane and
// whatever plots share the group; the lane math agrees with the C library;
// each set of curve parameters gives the full set's derivatives, and each
// model reads only the derivatives of its set. (funct and ders, which the
// kernels serve, are checked against a dense Gaussian likelihood and central
// differences in likelihood_test.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "model/lanes/likelihood_kernels.hpp"
#include "model/model_table.hpp"
#include "model/models.hpp"

namespace {

using namespace model;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<LanePath> available_paths() {
  std::vector<LanePath> paths{LanePath::plain};
  if (lane_path_available(LanePath::avx2)) paths.push_back(LanePath::avx2);
  return paths;
}

bool same_bits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

// Distance in units in the last place between two finite doubles.
double ulps(double a, double b) {
  if (a == b) return 0.0;
  const auto key = [](double x) {
    const auto u = std::bit_cast<std::int64_t>(x);
    return u < 0 ? std::numeric_limits<std::int64_t>::min() - u : u;
  };
  const std::int64_t d = key(a) - key(b);
  return static_cast<double>(d < 0 ? -d : d);
}

// ---------------------------------------------------------------- lane math

// A result the C library gives as not-a-number, infinite or zero must be the
// same; a finite non-zero one must be finite too.
bool special_agrees(double r, double c) {
  if (std::isnan(c)) return std::isnan(r);
  if (std::isinf(c) || c == 0.0) return r == c;
  return std::isfinite(r) && r != 0.0;
}

struct MathCase {
  std::vector<double> x, y;
};

MathCase math_arguments() {
  std::mt19937 rng(17);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  MathCase c;
  const std::vector<double> special = {0.0,
                                       -0.0,
                                       1.0,
                                       -1.0,
                                       2.0,
                                       -2.0,
                                       0.5,
                                       kInf,
                                       -kInf,
                                       kNaN,
                                       1e-310,
                                       -1e-310,
                                       4.9e-324,
                                       2.2250738585072014e-308,
                                       1.7976931348623157e308,
                                       709.78,
                                       709.79,
                                       -745.13,
                                       -745.14,
                                       710.0,
                                       -746.0,
                                       1e300,
                                       -1e300,
                                       3.0,
                                       -3.0};
  for (double x : special)
    for (double y : special) c.x.push_back(x), c.y.push_back(y);
  for (int i = 0; i < 20000; ++i) {
    c.x.push_back(i % 4 == 0   ? uniform(-750.0, 712.0)
                  : i % 4 == 1 ? uniform(-1.0, 1.0)
                               : std::exp(uniform(-700.0, 700.0)));
    c.y.push_back(i % 2 == 0 ? uniform(-3.0, 3.0) : std::round(uniform(-9.0, 9.0)));
  }
  for (int i = 0; i < 2000; ++i) c.x.push_back(std::ldexp(uniform(1.0, 2.0), -1040)), c.y.push_back(0.7);
  return c;
}

using Values = std::vector<double>;

// The function on every value, with the values shifted through every lane
// position of the path; every value must come out with the same bits in
// every position.
template <class F>
Values in_every_lane(LanePath path, const MathCase& c, F f) {
  Values first;
  for (int shift = 0; shift < 4; ++shift) {
    Values x(c.x.begin() + shift, c.x.end()), y(c.y.begin() + shift, c.y.end()), out(x.size());
    f(lane_math(path), x, y, out);
    if (shift == 0) {
      first = out;
      continue;
    }
    for (std::size_t i = 0; i < out.size(); ++i)
      EXPECT_TRUE(same_bits(out[i], first[i + static_cast<std::size_t>(shift)]))
          << "value " << i + shift << " shift " << shift;
  }
  return first;
}

TEST(LaneMath, SameBitsOnEveryPathAndLaneAndCloseToTheCLibrary) {
  const MathCase c = math_arguments();
  const auto exp = [](const LaneMath& m, const Values& x, const Values&, Values& out) { m.exp(x, out); };
  const auto log = [](const LaneMath& m, const Values& x, const Values&, Values& out) { m.log(x, out); };
  const auto pow = [](const LaneMath& m, const Values& x, const Values& y, Values& out) { m.pow(x, y, out); };
  std::map<std::string, Values> plain;
  for (LanePath path : available_paths()) {
    const std::map<std::string, Values> r = {{"exp", in_every_lane(path, c, exp)},
                                             {"log", in_every_lane(path, c, log)},
                                             {"pow", in_every_lane(path, c, pow)}};
    if (path == LanePath::plain) plain = r;
    for (const auto& [name, values] : r)
      for (std::size_t i = 0; i < values.size(); ++i)
        ASSERT_TRUE(same_bits(values[i], plain[name][i])) << name << " of value " << i << " differs between paths";
  }
  double worst_exp = 0.0, worst_log = 0.0, worst_pow = 0.0;
  for (std::size_t i = 0; i < c.x.size(); ++i) {
    const double x = c.x[i], y = c.y[i];
    const double e = std::exp(x), l = std::log(x), p = std::pow(x, y);
    const double r_exp = plain["exp"][i], r_log = plain["log"][i], r_pow = plain["pow"][i];
    ASSERT_TRUE(special_agrees(r_exp, e)) << "exp " << x;
    ASSERT_TRUE(special_agrees(r_log, l)) << "log " << x;
    ASSERT_TRUE(special_agrees(r_pow, p)) << "pow " << x << " " << y;
    if (std::isnormal(e)) worst_exp = std::max(worst_exp, ulps(r_exp, e));
    if (std::isfinite(l)) worst_log = std::max(worst_log, ulps(r_log, l));
    if (std::isnormal(p)) {
      // The error of e^(y ln|x|) grows with |y ln x|.
      const double spread = std::fabs(y * std::log(std::fabs(x)));
      const double allowed = 2.0 + 4.0 * (std::isnan(spread) ? 0.0 : spread);
      ASSERT_LE(ulps(r_pow, p), allowed) << "pow " << x << " " << y;
      worst_pow = std::max(worst_pow, ulps(r_pow, p) / allowed);
    }
  }
  EXPECT_LE(worst_exp, 1.0);
  EXPECT_LE(worst_log, 1.0);
  RecordProperty("worst_pow_share_of_bound", std::to_string(worst_pow));
}

// ---------------------------------------------------------------- kernels

struct Plots {
  std::vector<Curve> curves;
  std::vector<std::vector<double>> ages, heights;
  std::vector<KernelPlot> view;
};

// Plots of 1 to 12 measurements, some at equal ages, with curves that move
// every parameter; every 40th plot has 99 heights whose product overflows,
// the next one 99 whose product underflows.
Plots random_plots(int count, unsigned seed) {
  std::mt19937 rng(seed);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  Plots p;
  p.curves.resize(static_cast<std::size_t>(count));
  p.ages.resize(p.curves.size());
  p.heights.resize(p.curves.size());
  for (std::size_t i = 0; i < p.curves.size(); ++i) {
    p.curves[i] = {uniform(1.5, 3.0),  uniform(0.05, 0.5),   uniform(0.2, 1.5),  uniform(-0.5, 0.5),
                   uniform(0.05, 0.5), uniform(-0.5, -0.05), uniform(-1.0, 1.0), uniform(0.0, 1.0)};
    const bool huge = i % 40 == 0, tiny = i % 40 == 1;
    const int n = huge || tiny ? 99 : 1 + static_cast<int>(rng() % 12);
    double t = p.curves[i][6] + uniform(0.1, 3.0);
    for (int m = 0; m < n; ++m) {
      p.ages[i].push_back(t);
      p.heights[i].push_back(huge ? uniform(2600.0, 2800.0) : tiny ? uniform(1e-4, 1e-3) : uniform(0.5, 3.0));
      if (rng() % 4 != 0) t += uniform(0.1, 4.0);
    }
  }
  for (std::size_t i = 0; i < p.curves.size(); ++i)
    p.view.push_back({&p.curves[i], static_cast<int>(p.ages[i].size()), p.ages[i].data(), p.heights[i].data()});
  return p;
}

constexpr double kMarker = -123.25;  // the strictly lower triangle of fhess must keep it

struct Results {
  std::vector<double> f;
  std::vector<CurveGradient> fgrad;
  std::vector<CurveHessian> fhess;
};

// Evaluates the plots in the given order, in calls of `per_call` plots.
Results evaluate(const LikelihoodKernels& k, const std::vector<KernelPlot>& plots,
                 const std::vector<std::size_t>& order, std::size_t per_call) {
  std::vector<KernelPlot> arranged;
  for (std::size_t i : order) arranged.push_back(plots[i]);
  Results shuffled{std::vector<double>(plots.size()), std::vector<CurveGradient>(plots.size()),
                   std::vector<CurveHessian>(plots.size())};
  for (CurveHessian& h : shuffled.fhess) h.fill(kMarker);
  for (std::size_t first = 0; first < arranged.size(); first += per_call) {
    const std::size_t m = std::min(per_call, arranged.size() - first);
    const std::span<const KernelPlot> some(arranged.data() + first, m);
    k.funct(some, {shuffled.f.data() + first, m});
    k.ders(some, {shuffled.fgrad.data() + first, m}, {shuffled.fhess.data() + first, m});
  }
  Results r = shuffled;
  for (std::size_t j = 0; j < order.size(); ++j) {
    r.f[order[j]] = shuffled.f[j];
    r.fgrad[order[j]] = shuffled.fgrad[j];
    r.fhess[order[j]] = shuffled.fhess[j];
  }
  return r;
}

void expect_same_bits(const Results& a, const Results& b, const std::string& label) {
  for (std::size_t p = 0; p < a.f.size(); ++p) {
    ASSERT_TRUE(same_bits(a.f[p], b.f[p])) << label << " f of plot " << p;
    for (std::size_t k = 0; k < 8; ++k) ASSERT_TRUE(same_bits(a.fgrad[p][k], b.fgrad[p][k])) << label << " plot " << p;
    for (std::size_t k = 0; k < 64; ++k) ASSERT_TRUE(same_bits(a.fhess[p][k], b.fhess[p][k])) << label << " plot " << p;
  }
}

TEST(LaneKernels, EveryPlotGetsTheSameBitsOnEveryPathInEveryLaneWithAnyCompanions) {
  const Plots p = random_plots(203, 5);
  std::vector<std::size_t> order(p.view.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  for (CurveMask set : kDerivativeSets) {
    const Results reference = evaluate(likelihood_kernels(set, LanePath::plain), p.view, order, order.size());
    for (LanePath path : available_paths()) {
      const LikelihoodKernels k = likelihood_kernels(set, path);
      const std::string label = "set " + std::to_string(set) + " path " + std::to_string(static_cast<int>(path));
      expect_same_bits(reference, evaluate(k, p.view, order, 1), label + " one at a time");
      for (std::size_t shift = 1; shift < 4; ++shift) {
        std::vector<std::size_t> rotated(order.size());
        for (std::size_t i = 0; i < order.size(); ++i) rotated[i] = order[(i + shift) % order.size()];
        expect_same_bits(reference, evaluate(k, p.view, rotated, 64), label + " rotated");
      }
      std::vector<std::size_t> reversed(order.rbegin(), order.rend());
      expect_same_bits(reference, evaluate(k, p.view, reversed, 7), label + " reversed");
    }
  }
}

// A set's derivatives are those of the full set to the last bit; the other
// parameters' entries are not a number and the strictly lower triangle of
// fhess is left alone.
TEST(LaneKernels, EachSetGivesTheFullSetsBitsAndMarksTheRest) {
  const Plots p = random_plots(300, 9);
  std::vector<std::size_t> order(p.view.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  const Results full = evaluate(likelihood_kernels(kAllCurveParameters), p.view, order, order.size());
  for (CurveMask set : kDerivativeSets) {
    const Results r = evaluate(likelihood_kernels(set), p.view, order, order.size());
    for (std::size_t i = 0; i < p.view.size(); ++i) {
      ASSERT_TRUE(same_bits(r.f[i], full.f[i])) << "plot " << i;
      for (int l = 0; l < 8; ++l) {
        const bool moved_l = (set >> l) & 1u;
        const auto L = static_cast<std::size_t>(l);
        ASSERT_TRUE(moved_l ? same_bits(r.fgrad[i][L], full.fgrad[i][L]) : std::isnan(r.fgrad[i][L]))
            << "set " << set << " plot " << i << " gradient " << l;
        for (int k = 0; k < 8; ++k) {
          const auto at = static_cast<std::size_t>(k + 8 * l);
          const bool moved = moved_l && ((set >> k) & 1u);
          if (k > l) {
            ASSERT_EQ(r.fhess[i][at], kMarker) << "lower triangle written, plot " << i;
          } else {
            ASSERT_TRUE(moved ? same_bits(r.fhess[i][at], full.fhess[i][at]) : std::isnan(r.fhess[i][at]))
                << "set " << set << " plot " << i << " hessian " << k << ", " << l;
          }
        }
      }
    }
  }
}

// Plausible values of each model's parameters, by name.
double parameter_value(std::string_view name, std::mt19937& rng) {
  static const std::map<std::string_view, std::pair<double, double>> ranges = {
      {"a", {2.0, 3.0}},           {"b", {0.1, 0.4}},        {"c", {0.5, 1.2}},       {"sigma0", {0.05, 0.3}},
      {"sigma_p", {0.05, 0.3}},    {"sigma_e", {0.05, 0.3}}, {"t0", {-1.0, 0.0}},     {"y0", {0.1, 0.5}},
      {"a_intercept", {1.5, 2.5}}, {"a_slope", {1.0, 3.0}},  {"a_scale", {2.0, 4.0}}, {"a_exponent", {0.1, 0.5}}};
  const auto [lo, hi] = ranges.at(name);
  return std::uniform_real_distribution<double>(lo, hi)(rng);
}

struct ModelDerivatives {
  std::array<double, 64> ggrad{}, lgrad{}, hgg{}, hlg{}, hll{};
  bool operator==(const ModelDerivatives&) const = default;  // not-a-number never equals
};

ModelDerivatives through_model(const Esde& record, const Globals& g, const Locals& l, const LikelihoodKernels& k,
                               const KernelPlot& plot) {
  CurveGradient fgrad{};
  CurveHessian fhess{};
  k.ders({&plot, 1}, {&fgrad, 1}, {&fhess, 1});
  ModelDerivatives o;
  trders(record, g, l, fgrad, fhess, o.ggrad, o.lgrad, o.hgg, o.hlg, o.hll);
  return o;
}

TEST(LaneKernels, EachModelReadsOnlyTheDerivativesOfTheParametersItMoves) {
  std::mt19937 rng(23);
  const Plots p = random_plots(16, 31);
  for (int model = 1; model <= kModelCount; ++model) {
    Esde record{};
    record.k1 = 1.0;
    record.k2 = 1.1;
    record.model = model;
    const ModelCounts counts = model_counts(model);
    const ModelNames& names = model_names(model);
    const LikelihoodKernels moved = likelihood_kernels(moved_parameters(model));
    const LikelihoodKernels all = likelihood_kernels(kAllCurveParameters);
    ASSERT_NE(moved.moved, all.moved) << "model " << model;
    for (const KernelPlot& plot : p.view) {
      Globals g{};
      Locals l{};
      for (std::size_t i = 0; i < static_cast<std::size_t>(counts.ng); ++i)
        g[i] = parameter_value(names.globals[i], rng);
      for (std::size_t i = 0; i < static_cast<std::size_t>(counts.nl); ++i)
        l[i] = parameter_value(names.locals[i], rng);
      Curve curve{};
      trpars(record, g, l, curve);
      const KernelPlot at_curve{&curve, plot.n, plot.ages, plot.heights};
      EXPECT_TRUE(through_model(record, g, l, moved, at_curve) == through_model(record, g, l, all, at_curve))
          << "model " << model;
    }
  }
}

}  // namespace
