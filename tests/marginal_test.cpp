// The per-plot marginal term of random locals against computations that share
// nothing with it but the catalogue's trpars: the plot objective from the
// dense covariance of the transformed heights (Eigen), the population's
// density built from its deviations and correlation, the integral by the
// trapezoidal rule on a fine grid, the mode by Nelder-Mead and the curvature
// by differences; and the gradient against central differences. Plots are
// drawn from the models with a fixed seed, and taken from the loblolly data
// (ages and heights divided by 10).
#include <gtest/gtest.h>

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/likelihood.hpp"
#include "model/marginal/marginal_term.hpp"
#include "model/marginal/plot_function.hpp"
#include "model/model_table.hpp"
#include "model/models.hpp"

namespace {

using model::Curve;
using model::Esde;
using model::Globals;
using model::Locals;
namespace mg = model::marginal;

struct Plot {
  std::vector<double> t, h;
  mg::PlotMeasurements measurements() const { return {static_cast<int>(t.size()), t.data(), h.data()}; }
};

// A model's outer parameters: globals, means, deviations and correlation.
struct Population {
  int model = 1;
  double k = 1.0;  // both model constants
  std::vector<double> globals, mean, sd;
  double rho = 0.0;
  Esde esde() const { return {k, k, model}; }
  int nl() const { return static_cast<int>(mean.size()); }
  mg::Outer phi() const {
    mg::Outer p{};
    std::size_t j = 0;
    for (double g : globals) p[j++] = g;
    for (double m : mean) p[j++] = m;
    for (double s : sd) p[j++] = std::log(s);
    if (nl() == 2) p[j++] = std::atanh(rho);
    return p;
  }
};

Curve curve_of(const Population& pop, const Eigen::VectorXd& u) {
  Globals g{};
  Locals l{};
  std::copy(pop.globals.begin(), pop.globals.end(), g.begin());
  for (int k = 0; k < u.size(); ++k) l[static_cast<std::size_t>(k)] = u(k);
  Curve c{};
  model::trpars(pop.esde(), g, l, c);
  return c;
}

// Minus twice the log-density of the heights: the transformed heights are
// Gaussian with the Ornstein-Uhlenbeck state's mean and covariance plus the
// measurement error, and the Jacobian is prod h^(c-1).
double dense_objective(const Curve& p, const Plot& plot) {
  const double a = p[0], b = p[1], c = p[2], vs = p[3] * p[3], vp = p[4] * p[4], ve = p[5] * p[5];
  const double t0 = p[6], y0 = p[7], A = std::pow(a, c);
  const auto n = static_cast<Eigen::Index>(plot.t.size());
  Eigen::VectorXd r(n);
  Eigen::MatrixXd cov(n, n);
  for (Eigen::Index i = 0; i < n; ++i) {
    const double ti = plot.t[static_cast<std::size_t>(i)];
    r(i) = (std::pow(plot.h[static_cast<std::size_t>(i)], c) - A) / c - (y0 - A) / c * std::exp(-b * (ti - t0));
    for (Eigen::Index j = 0; j <= i; ++j) {
      const double tj = plot.t[static_cast<std::size_t>(j)], g = std::exp(-2.0 * b * (tj - t0));
      cov(i, j) = cov(j, i) = std::exp(-b * (ti - tj)) * (vs * g + vp * (1.0 - g)) + (i == j ? ve : 0.0);
    }
  }
  const Eigen::LLT<Eigen::MatrixXd> llt(cov);
  if (llt.info() != Eigen::Success) return NAN;
  const Eigen::VectorXd z = llt.matrixL().solve(r);
  double log_det = 0.0, jacobian = 0.0;
  for (Eigen::Index i = 0; i < n; ++i) log_det += 2.0 * std::log(llt.matrixL()(i, i));
  for (double h : plot.h) jacobian += std::log(h);
  return static_cast<double>(n) * std::log(2.0 * std::numbers::pi) + log_det + z.squaredNorm() +
         2.0 * (1.0 - c) * jacobian;
}

Eigen::MatrixXd psi_of(const Population& pop) {
  Eigen::MatrixXd psi(pop.nl(), pop.nl());
  for (int i = 0; i < pop.nl(); ++i)
    for (int j = 0; j < pop.nl(); ++j)
      psi(i, j) = pop.sd[static_cast<std::size_t>(i)] * pop.sd[static_cast<std::size_t>(j)] * (i == j ? 1.0 : pop.rho);
  return psi;
}

// G(u) = f(u) + (u - mu)' Psi^-1 (u - mu) + ln det Psi, from the dense objective.
double dense_exponent(const Population& pop, const Plot& plot, const Eigen::VectorXd& u) {
  const Eigen::MatrixXd psi = psi_of(pop);
  const Eigen::VectorXd r = u - Eigen::Map<const Eigen::VectorXd>(pop.mean.data(), pop.nl());
  return dense_objective(curve_of(pop, u), plot) + r.dot(psi.ldlt().solve(r)) + std::log(psi.determinant());
}

// Nelder-Mead, restarted from its best point until a restart gains nothing.
Eigen::VectorXd nelder_mead(const std::function<double(const Eigen::VectorXd&)>& g, Eigen::VectorXd x,
                            const Eigen::VectorXd& scale) {
  const auto n = x.size();
  for (int restart = 0; restart < 20; ++restart) {
    std::vector<Eigen::VectorXd> s(static_cast<std::size_t>(n + 1), x);
    for (Eigen::Index k = 0; k < n; ++k) s[static_cast<std::size_t>(k + 1)](k) += scale(k);
    std::vector<double> v;
    for (const auto& p : s) v.push_back(g(p));
    for (int it = 0; it < 5000; ++it) {
      std::vector<std::size_t> order(s.size());
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
      std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return v[a] < v[b]; });
      const std::size_t best = order.front(), worst = order.back(), second = order[order.size() - 2];
      Eigen::VectorXd centre = Eigen::VectorXd::Zero(n);
      for (std::size_t i : order)
        if (i != worst) centre += s[i] / static_cast<double>(n);
      if ((s[worst] - s[best]).cwiseQuotient(scale).cwiseAbs().maxCoeff() < 1e-11) break;
      const Eigen::VectorXd reflected = centre + (centre - s[worst]);
      const double fr = g(reflected);
      if (fr < v[best]) {
        const Eigen::VectorXd expanded = centre + 2.0 * (centre - s[worst]);
        const double fe = g(expanded);
        s[worst] = fe < fr ? expanded : reflected;
        v[worst] = std::min(fe, fr);
      } else if (fr < v[second]) {
        s[worst] = reflected;
        v[worst] = fr;
      } else {
        const Eigen::VectorXd contracted = centre + 0.5 * (s[worst] - centre);
        const double fc = g(contracted);
        if (fc < v[worst]) {
          s[worst] = contracted;
          v[worst] = fc;
        } else {
          for (std::size_t i : order)
            if (i != best) {
              s[i] = s[best] + 0.5 * (s[i] - s[best]);
              v[i] = g(s[i]);
            }
        }
      }
    }
    const auto best = static_cast<std::size_t>(std::min_element(v.begin(), v.end()) - v.begin());
    const bool moved = (s[best] - x).cwiseQuotient(scale).cwiseAbs().maxCoeff() > 1e-9;
    x = s[best];
    if (!moved) break;
  }
  return x;
}

// d2G/du2 by central differences with steps h and h/2, extrapolated.
Eigen::MatrixXd difference_hessian(const std::function<double(const Eigen::VectorXd&)>& g, const Eigen::VectorXd& x,
                                   const Eigen::VectorXd& step) {
  const auto n = x.size();
  auto at = [&](double scale) {
    Eigen::MatrixXd h(n, n);
    for (Eigen::Index i = 0; i < n; ++i)
      for (Eigen::Index j = 0; j < n; ++j) {
        Eigen::VectorXd di = Eigen::VectorXd::Zero(n), dj = Eigen::VectorXd::Zero(n);
        di(i) = scale * step(i);
        dj(j) = scale * step(j);
        h(i, j) = (g(x + di + dj) - g(x + di - dj) - g(x - di + dj) + g(x - di - dj)) / (4.0 * di(i) * dj(j));
      }
    return h;
  };
  return (4.0 * at(0.5) - at(1.0)) / 3.0;
}

// The mode and curvature found independently of the code under test.
struct Reference {
  Eigen::VectorXd mode;
  Eigen::MatrixXd H;
  double G = 0.0;
};

Reference reference(const Population& pop, const Plot& plot) {
  auto g = [&](const Eigen::VectorXd& u) { return dense_exponent(pop, plot, u); };
  const Eigen::VectorXd mean = Eigen::Map<const Eigen::VectorXd>(pop.mean.data(), pop.nl());
  const Eigen::VectorXd prior_sd = Eigen::Map<const Eigen::VectorXd>(pop.sd.data(), pop.nl());
  Reference r;
  r.mode = nelder_mead(g, mean, 0.5 * prior_sd);
  const Eigen::MatrixXd rough = difference_hessian(g, r.mode, 0.05 * prior_sd);
  const Eigen::VectorXd sd = (2.0 * rough.inverse()).diagonal().cwiseSqrt();
  r.H = difference_hessian(g, r.mode, 0.02 * sd);
  r.G = g(r.mode);
  return r;
}

// -2 ln of the integral of exp(-G/2) du / (2 pi)^(NL/2) by the trapezoidal
// rule in z, u = mode + L z with L L' = 2 H^-1, step 0.2 over |z| <= 10
// (beyond, exp(-G/2) is below e^-50 of its peak). Where `outside` is given,
// the integrand is 0 where the curve leaves the model's range, and *outside
// counts those points; otherwise the grid must stay within the range.
double brute_force_term(const Population& pop, const Plot& plot, const Reference& ref, int* outside = nullptr) {
  const Eigen::MatrixXd L = Eigen::MatrixXd((2.0 * ref.H.inverse()).llt().matrixL());
  const int nl = pop.nl(), half = 50;
  const double h = 0.2;
  double sum = 0.0;
  for (int i = -half; i <= half; ++i)
    for (int j = nl == 2 ? -half : 0; j <= (nl == 2 ? half : 0); ++j) {
      Eigen::VectorXd z(nl);
      z(0) = i * h;
      if (nl == 2) z(1) = j * h;
      if (z.squaredNorm() > half * half * h * h) continue;
      const double g = dense_exponent(pop, plot, ref.mode + L * z);
      if (outside && !std::isfinite(g)) {
        ++*outside;
        continue;
      }
      EXPECT_TRUE(std::isfinite(g)) << "the grid left the model's range";
      sum += std::exp(-0.5 * (g - ref.G));
    }
  return ref.G - 2.0 * std::log(L.determinant() * std::pow(h, nl) * sum) + nl * std::log(2.0 * std::numbers::pi);
}

// A plot drawn from the model: locals from the population, the state on the
// power scale an Ornstein-Uhlenbeck process from the start, plus error.
Plot simulate(const Population& pop, std::mt19937& rng, int n) {
  std::normal_distribution<double> z(0.0, 1.0);
  const Eigen::MatrixXd L = Eigen::MatrixXd(psi_of(pop).llt().matrixL());
  Eigen::VectorXd e(pop.nl());
  for (int k = 0; k < pop.nl(); ++k) e(k) = z(rng);
  const Curve c = curve_of(pop, Eigen::Map<const Eigen::VectorXd>(pop.mean.data(), pop.nl()) + L * e);
  const double A = std::pow(c[0], c[2]);
  double state = (c[7] - A) / c[2] + std::fabs(c[3]) * z(rng), t_prev = c[6];
  Plot p;
  for (int i = 0; i < n; ++i) {
    const double t = 1.0 + 2.0 * i, decay = std::exp(-c[1] * (t - t_prev));
    state = decay * state + c[4] * std::sqrt(1.0 - decay * decay) * z(rng);
    p.t.push_back(t);
    p.h.push_back(std::pow(c[2] * (state + c[5] * z(rng)) + A, 1.0 / c[2]));
    t_prev = t;
  }
  return p;
}

std::vector<Plot> loblolly_plots() {
  std::ifstream in(LOBLOLLY_DATA);
  if (!in) throw std::runtime_error(std::string("cannot read ") + LOBLOLLY_DATA);
  std::vector<Plot> plots;
  long id = 0, last = -1;
  double age = 0.0, height = 0.0;
  while (in >> id >> age >> height) {
    if (id != last) plots.emplace_back();
    last = id;
    plots.back().t.push_back(age / 10.0);
    plots.back().h.push_back(height / 10.0);
  }
  return plots;
}

// The five models, at populations of simulated plots and of the loblolly data.
struct Case {
  Population pop;
  std::vector<Plot> plots;
};

std::vector<Case> cases() {
  std::mt19937 rng(20261209);
  const std::vector<Population> simulated = {
      {1, 1.0, {0.15, 0.7, 0.2, 0.05}, {3.0}, {0.25}},
      {4, 1.0, {0.15, 0.7, 0.1, 0.2, 0.05}, {3.0}, {0.25}},
      {9, 1.0, {3.0, 0.7, 0.1, 0.2, 0.05}, {0.3}, {0.03}},
      {13, 1.0, {0.7, 0.2, 0.05}, {3.0, 0.5}, {0.25, 0.03}, 0.3},
      {18, 1.0, {0.7, 0.2, 0.05}, {3.0, 0.5}, {0.25, 0.03}, -0.2},
  };
  const std::vector<Population> loblolly = {
      {1, 10.0, {0.91, 0.51, 0.05, 0.046}, {7.4}, {0.3}},
      {4, 10.0, {0.91, 0.51, 0.05, 0.05, 0.046}, {7.4}, {0.3}},
      {9, 10.0, {7.4, 0.51, 0.05, 0.05, 0.046}, {0.9}, {0.1}},
      {13, 10.0, {0.51, 0.05, 0.046}, {7.4, 0.9}, {0.3, 0.1}, 0.2},
      {18, 10.0, {0.11, 0.02, 0.065}, {6.8, 1.38}, {0.3, 0.1}, -0.3},
  };
  const std::vector<Plot> lob = loblolly_plots();
  std::vector<Case> all;
  for (const Population& p : simulated) all.push_back({p, {simulate(p, rng, 10), simulate(p, rng, 3)}});
  for (const Population& p : loblolly) all.push_back({p, {lob[0], lob[6], lob[13]}});
  return all;
}

mg::LocalPair mean_of(const Population& pop) { return {pop.mean[0], pop.nl() == 2 ? pop.mean[1] : 0.0}; }

mg::PlotMarginal term(const Population& pop, const Plot& plot, const mg::QuadratureRule& rule, bool gradient,
                      const mg::Outer& phi) {
  return mg::marginal_term(pop.esde(), rule, phi, plot.measurements(), mean_of(pop), gradient);
}

std::string label(const Population& pop, std::size_t plot) {
  return "model " + std::to_string(pop.model) + (pop.k == 10.0 ? " (loblolly)" : "") + ", plot " + std::to_string(plot);
}

TEST(MarginalTerm, QuadratureEqualsBruteForceIntegration) {
  for (const Case& c : cases()) {
    const mg::QuadratureRule rule = mg::product_rule(mg::hermite_rule(30), c.pop.nl());
    for (std::size_t i = 0; i < c.plots.size(); ++i) {
      const mg::PlotMarginal r = term(c.pop, c.plots[i], rule, false, c.pop.phi());
      ASSERT_EQ(r.status, mg::PlotStatus::ok) << label(c.pop, i);
      const double brute = brute_force_term(c.pop, c.plots[i], reference(c.pop, c.plots[i]));
      EXPECT_NEAR(r.term, brute, 1e-8 * std::max(1.0, std::fabs(brute))) << label(c.pop, i);
    }
  }
}

// m = G + ln det(H / 2) at the mode, and the conditional deviations sqrt of diag(2 H^-1).
TEST(MarginalTerm, LaplaceEqualsTheFormulaAtAnIndependentMode) {
  const mg::QuadratureRule laplace = mg::quadrature_rule(1, 1), laplace2 = mg::quadrature_rule(1, 2);
  for (const Case& c : cases())
    for (std::size_t i = 0; i < c.plots.size(); ++i) {
      const mg::PlotMarginal r = term(c.pop, c.plots[i], c.pop.nl() == 1 ? laplace : laplace2, false, c.pop.phi());
      ASSERT_EQ(r.status, mg::PlotStatus::ok) << label(c.pop, i);
      const Reference ref = reference(c.pop, c.plots[i]);
      const double formula = ref.G + std::log((0.5 * ref.H).determinant());
      EXPECT_NEAR(r.term, formula, 1e-7 * std::max(1.0, std::fabs(formula))) << label(c.pop, i);
      const Eigen::VectorXd sd = (2.0 * ref.H.inverse()).diagonal().cwiseSqrt();
      for (int k = 0; k < c.pop.nl(); ++k) {
        EXPECT_NEAR(r.mode[static_cast<std::size_t>(k)], ref.mode(k), 1e-6 * sd(k)) << label(c.pop, i);
        EXPECT_NEAR(r.sd[static_cast<std::size_t>(k)], sd(k), 1e-6 * sd(k)) << label(c.pop, i);
      }
    }
}

// Every outer parameter, Laplace and 5 nodes per local; the value does not
// depend on whether the gradient is asked for, and the mode's sensitivity
// predicts the mode after a step.
TEST(MarginalTerm, GradientEqualsCentralDifferences) {
  for (const Case& c : cases()) {
    const int np = mg::outer_count(static_cast<int>(c.pop.globals.size()), c.pop.nl());
    for (int k : {1, 5}) {
      const mg::QuadratureRule rule = mg::quadrature_rule(k, c.pop.nl());
      const Plot& plot = c.plots[0];
      const mg::Outer phi = c.pop.phi();
      const mg::PlotMarginal r = term(c.pop, plot, rule, true, phi);
      ASSERT_EQ(r.status, mg::PlotStatus::ok) << label(c.pop, 0);
      EXPECT_EQ(r.term, term(c.pop, plot, rule, false, phi).term) << label(c.pop, 0);
      for (int j = 0; j < np; ++j) {
        const auto uj = static_cast<std::size_t>(j);
        // Central differences with steps h and h/2, extrapolated.
        auto shifted = [&](double h) {
          mg::Outer p = phi;
          p[uj] += h;
          return term(c.pop, plot, rule, false, p);
        };
        const double h = 1e-4 * std::max(1.0, std::fabs(phi[uj]));
        const mg::PlotMarginal ru = shifted(h), rd = shifted(-h);
        const double wide = (ru.term - rd.term) / (2.0 * h);
        const double fd = (4.0 * (shifted(0.5 * h).term - shifted(-0.5 * h).term) / h - wide) / 3.0;
        EXPECT_NEAR(r.gradient[uj], fd, 1e-6 * std::max(1.0, std::fabs(fd)))
            << label(c.pop, 0) << ", K " << k << ", outer parameter " << j;
        for (int l = 0; l < c.pop.nl(); ++l) {
          const auto ul = static_cast<std::size_t>(l);
          const double dmode = (ru.mode[ul] - rd.mode[ul]) / (2.0 * h);
          EXPECT_NEAR(r.mode_sensitivity[ul + static_cast<std::size_t>(c.pop.nl()) * uj], dmode,
                      1e-5 * std::max(1.0, std::fabs(dmode)))
              << label(c.pop, 0) << ", outer parameter " << j;
        }
      }
    }
  }
}

// Plots whose rate is inside the model's range (b > 0) but whose outer nodes
// are not: the far corners of a 20-node rule, and for a plot with a wide,
// lopsided conditional distribution a corner node of 5 (1.3e-4 of the rule's
// weight; at such plots the fit of 5000 used to stop far short of the
// minimum). The integrand is 0 beyond the range: the term equals the
// integral over the range, and the gradient is the term's.
TEST(MarginalTerm, NodesBeyondTheModelsRangeCarryNoIntegrand) {
  struct Truncated {
    Population pop;
    Plot plot;
    int k;
  };
  const std::vector<Truncated> cases = {
      {{13, 1.0, {0.696, 0.1998, 0.0485}, {2.998, 0.2516}, {0.401, 0.0406}, -0.026},
       {{1.5, 3.5, 5.5, 7.5, 9.5, 11.5, 13.5, 15.5, 17.5, 19.5},
        {0.1988, 0.6608, 0.7727, 1.4139, 1.4558, 2.2174, 2.4037, 2.3391, 2.6955, 2.6509}},
       20},
      {{13, 1.0, {0.68418, 0.15327, 0.092977}, {3.01006, 0.257195}, {0.43467, 0.052633}, -0.16470},
       {{1, 3, 5, 7, 9, 11, 13, 15, 17, 19},
        {0.07465, 0.50136, 0.66038, 0.87045, 1.16639, 1.21913, 1.37649, 1.60481, 1.56906, 1.83179}},
       5},
  };
  for (const Truncated& c : cases) {
    const mg::QuadratureRule rule = mg::quadrature_rule(c.k, 2);
    const mg::PlotMarginal r = term(c.pop, c.plot, rule, true, c.pop.phi());
    ASSERT_EQ(r.status, mg::PlotStatus::ok) << "K " << c.k;
    if (c.k == 20) {
      int outside = 0;
      const double brute = brute_force_term(c.pop, c.plot, reference(c.pop, c.plot), &outside);
      EXPECT_GT(outside, 0) << "the grid should reach beyond the model's range";
      EXPECT_NEAR(r.term, brute, 1e-8 * std::fabs(brute));
    }
    const mg::Outer phi = c.pop.phi();
    for (std::size_t j = 0; j < 8; ++j) {
      auto difference = [&](double h) {
        mg::Outer up = phi, down = phi;
        up[j] += h;
        down[j] -= h;
        return (term(c.pop, c.plot, rule, false, up).term - term(c.pop, c.plot, rule, false, down).term) / (2.0 * h);
      };
      const double h = 1e-4 * std::max(1.0, std::fabs(phi[j]));
      const double fd = (4.0 * difference(0.5 * h) - difference(h)) / 3.0;
      EXPECT_NEAR(r.gradient[j], fd, 1e-6 * std::max(1.0, std::fabs(fd))) << "K " << c.k << ", outer parameter " << j;
    }
  }
}

// The objective the marginal term integrates is the catalogue's: for every
// model (on both of its forms where the asymptote is the only local), away
// from the centre of the form.
TEST(MarginalTerm, IntegrandObjectiveIsTheCatalogues) {
  std::mt19937 rng(7);
  const Population base{1, 1.0, {0.15, 0.7, 0.2, 0.05}, {3.0}, {0.4}};
  const Plot plot = simulate(base, rng, 8);
  mg::PreparedPlot prepared;
  mg::prepare_plot(static_cast<int>(plot.t.size()), plot.t.data(), plot.h.data(), prepared);
  for (int model = 1; model <= model::kModelCount; ++model) {
    const auto counts = model::model_counts(model);
    const Esde esde{2.0, 1.1, model};
    // Globals near 1 (tied asymptotes near 3 at a rate near 0.2), locals as
    // the model takes them.
    Globals g{};
    for (int i = 0; i < counts.ng; ++i) g[static_cast<std::size_t>(i)] = 0.2 + 0.1 * i;
    const model::ModelEntry& row = model::catalogue_entry(model);
    if (row.tied == model::TiedAsymptote::linear) g[0] = 1.0, g[1] = 10.0;
    if (row.tied == model::TiedAsymptote::power) g[0] = 8.0, g[1] = 0.6;
    const Locals u{row.locals[0] == model::Role::b ? 0.2 : 3.1, 0.25};
    Curve curve{};
    model::trpars(esde, g, u, curve);
    const double expected = model::funct(curve, static_cast<int>(plot.t.size()), plot.t.data(), plot.h.data());
    mg::visit_model(model, [&](auto m) {
      constexpr int M = decltype(m)::value, NL = model::model_counts(M).nl;
      mg::Vec<NL> at{}, centre{};
      for (std::size_t l = 0; l < static_cast<std::size_t>(NL); ++l) {
        at[l] = u[l];
        centre[l] = 1.1 * u[l];
      }
      mg::PlotFunction<M, false> generic{esde, g.data(), prepared};
      EXPECT_NEAR(generic.value(at), expected, 1e-13 * std::fabs(expected)) << "model " << model;
      if constexpr (mg::asymptote_only(M)) {
        mg::PlotFunction<M, true> form{esde, g.data(), prepared};
        form.center(centre, true);
        EXPECT_NEAR(form.value(at), expected, 1e-12 * std::fabs(expected)) << "model " << model;
        // The form's derivatives are the generic polynomials'.
        const auto a = form.template taylor<3, true>(at), b = generic.template taylor<3, true>(at);
        for (std::size_t k = 0; k < a.p.c.size(); ++k)
          EXPECT_NEAR(a.p.c[k], b.p.c[k], 1e-9 * std::max(1.0, std::fabs(b.p.c[k]))) << "model " << model;
        for (std::size_t i = 0; i < a.q.size(); ++i)
          for (std::size_t k = 0; k < a.q[i].c.size(); ++k)
            EXPECT_NEAR(a.q[i].c[k], b.q[i].c[k], 1e-9 * std::max(1.0, std::fabs(b.q[i].c[k]))) << "model " << model;
      }
    });
  }
}

// As a population's deviation goes to 0 the plot's term goes to the plot
// objective at the mean, for Laplace and for the nodes (which then fall back
// to Laplace); with one of two deviations near 0 the term stays continuous.
TEST(MarginalTerm, DeviationsNearZeroAreBoundariesNotFailures) {
  std::mt19937 rng(11);
  for (const Population& pop : {Population{1, 1.0, {0.15, 0.7, 0.2, 0.05}, {3.0}, {1e-12}},
                                Population{6, 1.0, {3.0, 0.7, 0.2, 0.05}, {0.15}, {1e-12}},
                                Population{13, 1.0, {0.7, 0.2, 0.05}, {3.0, 0.15}, {1e-12, 1e-12}, 0.3}}) {
    const Plot plot = simulate(pop, rng, 10);
    const double at_mean = model::funct(curve_of(pop, Eigen::Map<const Eigen::VectorXd>(pop.mean.data(), pop.nl())),
                                        static_cast<int>(plot.t.size()), plot.t.data(), plot.h.data());
    for (int k : {1, 5}) {
      const mg::PlotMarginal r = term(pop, plot, mg::quadrature_rule(k, pop.nl()), true, pop.phi());
      ASSERT_EQ(r.status, mg::PlotStatus::ok) << "model " << pop.model << ", K " << k;
      EXPECT_NEAR(r.term, at_mean, 1e-9 * std::fabs(at_mean)) << "model " << pop.model << ", K " << k;
    }
  }
  Population pop{13, 1.0, {0.7, 0.2, 0.05}, {3.0, 0.15}, {1e-7, 0.03}, 0.3};
  const Plot plot = simulate(pop, rng, 10);
  const mg::QuadratureRule rule = mg::quadrature_rule(5, 2);
  const mg::PlotMarginal wide = term(pop, plot, rule, false, pop.phi());
  pop.sd[0] = 1e-10;
  const mg::PlotMarginal narrow = term(pop, plot, rule, false, pop.phi());
  ASSERT_EQ(narrow.status, mg::PlotStatus::ok);
  EXPECT_EQ(narrow.nodes_per_local, 5);
  EXPECT_NEAR(narrow.term, wide.term, 1e-5);
}

// A measurement at the start age of model 13 (height y0 = 0 there whatever
// the locals) says nothing of the locals: the conditional distribution is the
// population's and the term is the plot objective, f = m_p, at any locals.
// So it stays for a height far off every curve, whose exponent (about 3.6e28)
// rounds by some 1e13, more than any difference between nodes: the nodes'
// weights would be that rounding, and the term is Laplace's, exact here.
TEST(MarginalTerm, AMeasurementThatSaysNothingOfTheLocalsLeavesThePopulation) {
  const Population pop{13, 1.0, {0.8, 0.21, 0.068}, {3.08, 0.22}, {0.43, 0.036}, -0.41};
  const mg::QuadratureRule rule = mg::quadrature_rule(5, 2);
  for (const double height : {2.0, 2e16}) {
    const Plot plot{{0.0}, {height}};
    const double f = dense_objective(curve_of(pop, Eigen::Map<const Eigen::VectorXd>(pop.mean.data(), 2)), plot);
    const mg::PlotMarginal r = term(pop, plot, rule, false, pop.phi());
    ASSERT_EQ(r.status, mg::PlotStatus::ok) << "height " << height;
    EXPECT_EQ(r.nodes_per_local, height == 2.0 ? 5 : 1) << "height " << height;
    EXPECT_NEAR(r.term, f, 1e-12 * std::fabs(f)) << "height " << height;
    for (std::size_t l = 0; l < 2; ++l) {
      EXPECT_NEAR(r.mean[l], pop.mean[l], 1e-12 * pop.mean[l]) << "height " << height << ", local " << l;
      EXPECT_NEAR(r.sd[l], pop.sd[l], 1e-9 * pop.sd[l]) << "height " << height << ", local " << l;
    }
    EXPECT_NEAR(r.correlation, pop.rho, 1e-9) << "height " << height;
  }
}

// A local the data cannot pin down under a huge Psi, a non-finite objective;
// rules the fits may not ask for.
TEST(MarginalTerm, TroubleHasANamedStatusAndBadRulesAreRefused) {
  const Population two{13, 1.0, {0.7, 0.2, 0.05}, {3.0, 0.15}, {10.0, 0.5}};
  const Population huge{13, 1.0, {0.7, 0.2, 0.05}, {3.0, 0.15}, {1e4, 500.0}};
  const mg::QuadratureRule rule = mg::quadrature_rule(5, 2);
  EXPECT_EQ(term(two, Plot{{5.0, 7.0}, {2.0, 2.3}}, rule, true, two.phi()).status, mg::PlotStatus::flat);
  EXPECT_EQ(term(huge, Plot{{5.0}, {2.0}}, rule, true, huge.phi()).status, mg::PlotStatus::unbounded);

  const Population one{1, 1.0, {0.15, 0.7, 0.2, 0.05}, {3.0}, {0.4}};
  const mg::QuadratureRule laplace = mg::quadrature_rule(1, 1);
  Plot plot{{1.0, 3.0, 5.0}, {0.6, -1.2, 1.5}};  // a negative height
  EXPECT_EQ(term(one, plot, laplace, true, one.phi()).status, mg::PlotStatus::not_finite);
  plot.h[1] = 1.2;
  mg::Outer still = one.phi();
  still[2] = still[3] = 0.0;  // no process nor measurement error
  EXPECT_EQ(term(one, plot, laplace, true, still).status, mg::PlotStatus::not_finite);
  EXPECT_EQ(term(one, plot, laplace, true, one.phi()).status, mg::PlotStatus::ok);

  for (const auto& [k, nl] : {std::pair{0, 1}, {21, 1}, {-3, 2}, {5, 3}, {5, 0}})
    EXPECT_THROW(mg::quadrature_rule(k, nl), std::invalid_argument) << k << " nodes, " << nl << " locals";
  EXPECT_THROW(mg::hermite_rule(31), std::invalid_argument);
  EXPECT_THROW(term(one, plot, rule, false, one.phi()), std::logic_error);  // a rule for two locals
  const Plot none{{}, {}};
  EXPECT_THROW(term(one, none, laplace, false, one.phi()), std::invalid_argument);
}

}  // namespace
