#include "starter/population_fit.hpp"

#include <algorithm>
#include <cmath>

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <ceres/ceres.h>

#include "model/catalogue.hpp"
#include "model/roles.hpp"
#include "starter/plot_locals.hpp"
#include "starter/quiet_solver.hpp"

namespace starter {
namespace {

namespace mg = model::marginal;
constexpr std::size_t at(int i) { return static_cast<std::size_t>(i); }
using OuterMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, 0, mg::kMaxOuter, mg::kMaxOuter>;
using OuterVector = Eigen::Matrix<double, Eigen::Dynamic, 1, 0, mg::kMaxOuter, 1>;

// A global deviation below kSaddleShare of the largest starts at that share of it.
constexpr double kSaddleShare = 0.1;
// Halvings of the starting deviations while a plot has no usable mode.
constexpr int kStartNarrowings = 6;
// The starting correlation of two locals is held within +-kLargestCorrelation.
constexpr double kLargestCorrelation = 0.9;

struct SampleTotals {
  bool ok = true;
  int failed_plot = 0;
  double objective = 0.0;
  OuterVector gradient;
  OuterMatrix scores;  // (1/2) sum g_p g_p'
};

// The sample's marginal objective at phi, each plot's mode searched from
// `modes` (and put back there).
SampleTotals sample_totals(const std::vector<common::Plot>& plots, const model::Esde& esde,
                           const mg::QuadratureRule& rule, int n, const mg::Outer& phi,
                           std::vector<mg::LocalPair>& modes, bool scores) {
  SampleTotals t;
  t.gradient = OuterVector::Zero(n);
  if (scores) t.scores = OuterMatrix::Zero(n, n);
  for (std::size_t p = 0; p < plots.size(); ++p) {
    const common::Plot& plot = plots[p];
    const mg::PlotMarginal r =
        mg::marginal_term(esde, rule, phi, {plot.n, plot.ages.data(), plot.heights.data()}, modes[p], true);
    if (r.status != mg::PlotStatus::ok) return {false, plot.id, 0.0, {}, {}};
    modes[p] = r.mode;
    t.objective += r.term;
    const OuterVector g = Eigen::Map<const OuterVector>(r.gradient.data(), n);
    t.gradient += g;
    if (scores) t.scores += 0.5 * g * g.transpose();
  }
  return t;
}

// The objective in x, phi = first + M x.
class ScaledMarginal final : public ceres::FirstOrderFunction {
 public:
  ScaledMarginal(const std::vector<common::Plot>& plots, const model::Esde& esde, int nl, int n,
                 const mg::Outer& first, const OuterMatrix& m, std::vector<mg::LocalPair> modes)
      : plots_(plots), esde_(esde), rule_(mg::quadrature_rule(1, nl)), n_(n), first_(first), m_(m),
        modes_(std::move(modes)) {}

  mg::Outer phi(const double* x) const {
    const OuterVector step = m_ * Eigen::Map<const OuterVector>(x, n_);
    mg::Outer phi = first_;
    for (int i = 0; i < n_; ++i) phi[at(i)] += step(i);
    return phi;
  }

  bool Evaluate(const double* x, double* cost, double* gradient) const override {
    const SampleTotals t = sample_totals(plots_, esde_, rule_, n_, phi(x), modes_, false);
    if (!t.ok || !std::isfinite(t.objective)) return false;
    *cost = t.objective;
    if (gradient != nullptr) {
      const OuterVector g = m_.transpose() * t.gradient;
      for (int i = 0; i < n_; ++i) gradient[i] = g(i);
    }
    return true;
  }

  int NumParameters() const override { return n_; }

 private:
  const std::vector<common::Plot>& plots_;
  model::Esde esde_;
  mg::QuadratureRule rule_;
  int n_;
  mg::Outer first_;
  OuterMatrix m_;
  mutable std::vector<mg::LocalPair> modes_;
};

// M = L^-T for B = L L' when B is positive definite, else 1 / sqrt(B_ii)
// (1 where B_ii is 0).
OuterMatrix search_scales(const OuterMatrix& b) {
  const auto n = b.rows();
  const Eigen::LLT<OuterMatrix> llt(b);
  if (llt.info() == Eigen::Success) return llt.matrixU().solve(OuterMatrix::Identity(n, n));
  OuterMatrix m = OuterMatrix::Zero(n, n);
  for (Eigen::Index i = 0; i < n; ++i) m(i, i) = b(i, i) > 0.0 ? 1.0 / std::sqrt(b(i, i)) : 1.0;
  return m;
}

// The fixed-locals start's globals, off the saddle, and the mean and
// covariance of the best locals.
mg::Outer first_point(const ProfileSettings& s, const model::Globals& globals, const LocalsMoments& moments) {
  const model::ModelEntry& entry = model::catalogue_entry(s.roles.model);
  const int ng = s.roles.ng, nl = s.roles.nl;
  mg::Outer phi{};
  double largest = 0.0;
  for (int i = 0; i < ng; ++i) {
    phi[at(i)] = globals[at(i)];
    if (model::is_deviation(entry.globals[at(i)])) largest = std::max(largest, std::fabs(globals[at(i)]));
  }
  for (int i = 0; i < ng; ++i)
    if (model::is_deviation(entry.globals[at(i)]) && std::fabs(phi[at(i)]) < kSaddleShare * largest)
      phi[at(i)] = kSaddleShare * largest;
  std::array<double, common::kMaxLocals> sd{};
  for (int l = 0; l < nl; ++l) {
    const double mean = moments.mean(l), var = moments.covariance(l, l);
    phi[at(ng + l)] = mean;
    sd[at(l)] = var > 0.0 ? std::sqrt(var) : 0.1 * std::max(std::fabs(mean), 1.0);
    phi[at(ng + nl + l)] = std::log(sd[at(l)]);
  }
  if (nl == 2) {
    const double rho = std::clamp(moments.covariance(0, 1) / (sd[0] * sd[1]), -kLargestCorrelation, kLargestCorrelation);
    phi[at(ng + 2 * nl)] = std::atanh(std::isfinite(rho) ? rho : 0.0);
  }
  return phi;
}

}  // namespace

void LocalsMoments::add(const double* u) {
  count += 1.0;
  for (int l = 0; l < nl; ++l) {
    sum[at(l)] += u[l];
    for (int m = 0; m < nl; ++m) cross[at(l + 2 * m)] += u[l] * u[m];
  }
}

double LocalsMoments::mean(int l) const { return sum[at(l)] / count; }

double LocalsMoments::covariance(int l, int m) const {
  return count > 1.0 ? (cross[at(l + 2 * m)] - count * mean(l) * mean(m)) / (count - 1.0) : 0.0;
}

void LocalsSpread::apply(double* u) const {
  if (nl == 1) {
    u[0] = to[0] + a[0] * (u[0] - from[0]);
    return;
  }
  const double d0 = u[0] - from[0], d1 = u[1] - from[1];
  u[0] = to[0] + a[0] * d0 + a[1] * d1;
  u[1] = to[1] + a[2] * d0 + a[3] * d1;
}

LocalsSpread spread_to_population(const LocalsMoments& moments, const mg::Outer& phi, int ng) {
  const int nl = moments.nl;
  LocalsSpread s;
  s.nl = nl;
  Eigen::Matrix2d c = Eigen::Matrix2d::Identity(), psi = Eigen::Matrix2d::Identity();
  for (int l = 0; l < nl; ++l) {
    s.from[at(l)] = moments.mean(l);
    s.to[at(l)] = phi[at(ng + l)];
  }
  for (int l = 0; l < nl; ++l)
    for (int m = 0; m < nl; ++m) c(l, m) = moments.covariance(l, m);
  const double rho = nl == 2 ? std::tanh(phi[at(ng + 2 * nl)]) : 0.0;
  for (int l = 0; l < nl; ++l)
    for (int m = 0; m < nl; ++m)
      psi(l, m) = std::exp(phi[at(ng + nl + l)] + phi[at(ng + nl + m)]) * (l == m ? 1.0 : rho);
  const Eigen::LLT<Eigen::Matrix2d> lc(c), lp(psi);
  if (lc.info() != Eigen::Success || lp.info() != Eigen::Success) {
    s.to = s.from;
    return s;
  }
  const Eigen::Matrix2d a = lp.matrixL() * lc.matrixL().solve(Eigen::Matrix2d::Identity());
  s.a = {a(0, 0), a(0, 1), a(1, 0), a(1, 1)};
  return s;
}

PopulationFit fit_population(const std::vector<common::Plot>& plots, const ProfileSettings& settings,
                             const model::Globals& globals) {
  const int ng = settings.roles.ng, nl = settings.roles.nl, n = mg::outer_count(ng, nl);
  LocalsMoments moments;
  moments.nl = nl;
  std::vector<mg::LocalPair> modes(plots.size());
  for (std::size_t p = 0; p < plots.size(); ++p) {
    const LocalFit best =
        fit_locals(settings.roles, settings.esde, globals, plots[p], settings.rate_reference, RateSearch::typical);
    for (int l = 0; l < nl; ++l) modes[p][at(l)] = best.locals[at(l)];
    moments.add(best.locals.data());
  }
  PopulationFit fit;
  fit.phi = first_point(settings, globals, moments);
  const mg::QuadratureRule laplace = mg::quadrature_rule(1, nl);
  SampleTotals start = sample_totals(plots, settings.esde, laplace, n, fit.phi, modes, true);
  // A wide population can leave a plot without a usable peak: narrowed, as
  // the estimator narrows its start.
  for (int tries = 0; !start.ok && tries < kStartNarrowings; ++tries) {
    for (int l = 0; l < nl; ++l) fit.phi[at(ng + nl + l)] -= std::log(2.0);
    start = sample_totals(plots, settings.esde, laplace, n, fit.phi, modes, true);
  }
  if (!start.ok) {
    fit.failed_plot = start.failed_plot;
    return fit;
  }
  fit.usable = true;
  auto* function = new ScaledMarginal(plots, settings.esde, nl, n, fit.phi, search_scales(start.scores), modes);
  ceres::GradientProblem problem(function);
  std::array<double, mg::kMaxOuter> x{};
  const ceres::GradientProblemSolver::Options options = bfgs_options(1e-6);
  ceres::GradientProblemSolver::Summary summary;
  ceres::Solve(options, problem, x.data(), &summary);
  fit.phi = function->phi(x.data());
  fit.objective = summary.final_cost;
  fit.iterations = static_cast<int>(summary.iterations.size());
  return fit;
}

}  // namespace starter
