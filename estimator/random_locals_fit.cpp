#include "estimator/random_locals_fit.hpp"

#include <algorithm>
#include <cmath>

#include "estimator/outer_algebra.hpp"
#include "model/catalogue.hpp"
#include "model/roles.hpp"

namespace estimator {
namespace {

using model::marginal::Outer;
constexpr int kLd = model::marginal::kMaxOuter;
constexpr int kMaxHalvings = 40;
constexpr int kStartNarrowings = 6;
constexpr int kMaxDoublings = 10;
// Plots per outer parameter from which the first step takes the plots'
// scores rather than a difference Hessian.
constexpr int kScoresStartPlots = 100;
constexpr double kKeepCentral = 10.0;
// A population deviation below this fraction of its mean is 0 to the plots
// (their conditional deviations are far wider), and the objective is flat
// there: the fit holds it at the bound, a boundary estimate.
constexpr double kLeastDeviation = 1e-4;
// The correlation of two locals is held within +-kLargestCorrelation: a
// population running to +-1 degenerates onto a line, where the objective
// flattens out as the deviations' does near 0 (a boundary estimate).
constexpr double kLargestCorrelation = 0.9999;
// A global deviation below kSaddleDeviation times the largest one is at the
// saddle at 0, and starts at kSaddleStart times it.
constexpr double kSaddleDeviation = 1e-6;
constexpr double kSaddleStart = 0.1;

double largest(const Outer& v, int n) {
  double m = 0.0;
  for (int i = 0; i < n; ++i) m = max_abs(m, v[static_cast<std::size_t>(i)]);
  return m;
}

// -B^-1 g, with B made positive definite by a growing multiple of its
// diagonal when it is not (few plots, or a parameter that no plot moves).
Outer bhhh_step(const MarginalTotals& t, int n) {
  Outer minus_g{};
  for (int i = 0; i < n; ++i) minus_g[static_cast<std::size_t>(i)] = -t.gradient[static_cast<std::size_t>(i)];
  Outer dx{};
  OuterMatrix b = t.bhhh;
  for (double ridge = 1e-12; ridge < 1e12; ridge *= 100.0) {
    if (solve_positive(b, n, minus_g, dx)) return dx;
    for (int i = 0; i < n; ++i)
      b[static_cast<std::size_t>(i * kLd + i)] = t.bhhh[static_cast<std::size_t>(i * kLd + i)] * (1.0 + ridge) + ridge;
  }
  return minus_g;
}

// Holds each ln sigma at or above ln(kLeastDeviation |mu|) and the
// correlation's z within +-atanh(kLargestCorrelation); marks the ones held
// (within 1e-3 of the bound, which for ln sigma follows mu as it moves).
void hold_deviations(const MarginalProblem& p, Outer& phi, MarginalSummary& summary) {
  const int ng = p.sizes.ng, nl = p.sizes.nl;
  for (int l = 0; l < nl; ++l) {
    const double mu = std::fabs(phi[static_cast<std::size_t>(ng + l)]);
    double& psi = phi[static_cast<std::size_t>(ng + nl + l)];
    const double bound = std::log(kLeastDeviation * (mu > 0.0 ? mu : 1.0));
    summary.boundary[static_cast<std::size_t>(l)] = psi <= bound + 1e-3;
    if (psi < bound) psi = bound;
  }
  if (nl != 2) return;
  double& z = phi[static_cast<std::size_t>(ng + 2 * nl)];
  const double bound = std::atanh(kLargestCorrelation);
  summary.correlation_boundary = std::fabs(z) >= bound - 1e-3;
  z = std::clamp(z, -bound, bound);
}

bool acceptable(const MarginalTotals& trial, double objective, double slope, double alpha) {
  return trial.failed.iplot == 0 && std::isfinite(trial.objective) &&
         trial.objective <= objective + 1e-4 * alpha * slope;
}

// A step and whether its matrix had a direction of negative curvature.
struct Step {
  Outer dx{};
  bool negative = false;
};

// The trial phi + alpha dx, its pass, and whether it is acceptable.
bool try_point(PassPipeline& pipeline, const MarginalProblem& problem, const Outer& phi, const Step& step,
               double alpha, double objective, double slope, Outer& trial, MarginalTotals& t,
               MarginalSummary& held) {
  trial = phi;
  for (int i = 0; i < problem.outer; ++i)
    trial[static_cast<std::size_t>(i)] += alpha * step.dx[static_cast<std::size_t>(i)];
  hold_deviations(problem, trial, held);
  t = marginal_pass(pipeline, problem, trial, true, true);
  return acceptable(t, objective, slope, alpha);
}

// Backtracking along dx from phi: the accepted step length (phi, totals and
// the boundary flags moved there), or 0 when no halving lowers the objective.
// Along a direction of negative curvature the objective can fall much further
// than the step's unit length: an accepted full step is doubled, up to
// kMaxDoublings times, while the objective keeps falling, when the step's
// matrix had such a direction or the full step lowered the objective by 1.2
// times what the quadratic model predicts (-g'dx / 2), as it does where a
// deviation runs to 0 and the objective flattens out.
double line_search(PassPipeline& pipeline, const MarginalProblem& problem, const Step& step, double slope,
                   Outer& phi, MarginalTotals& totals, MarginalSummary& summary) {
  const double objective = totals.objective;
  double alpha = 1.0;
  for (int h = 0; h < kMaxHalvings; ++h, alpha *= 0.5) {
    Outer trial;
    MarginalTotals t;
    MarginalSummary held = summary;
    if (!try_point(pipeline, problem, phi, step, alpha, objective, slope, trial, t, held)) continue;
    const Outer from = phi;
    phi = trial;
    totals = t;
    summary.boundary = held.boundary;
    summary.correlation_boundary = held.correlation_boundary;
    // A fall well beyond the quadratic model's -g'dx / 2: the objective curves
    // less than the model along dx, or down.
    const bool curving_down = step.negative || objective - totals.objective > -0.6 * slope;
    if (alpha < 1.0 || !curving_down) return alpha;
    for (int d = 0; d < kMaxDoublings; ++d) {
      held = summary;
      if (!try_point(pipeline, problem, from, step, 2.0 * alpha, objective, slope, trial, t, held) ||
          !(t.objective < totals.objective))
        break;
      alpha *= 2.0;
      phi = trial;
      totals = t;
      summary.boundary = held.boundary;
      summary.correlation_boundary = held.correlation_boundary;
    }
    return alpha;
  }
  return 0.0;
}

// The curvature of the step: the difference Hessian (`fresh`, kept in the
// summary; `central` when by central differences, as the standard errors
// take it) or, after a full step, that matrix carried along by the BFGS
// update.
struct Curvature {
  OuterMatrix h{};
  bool fresh = false;
  bool central = false;
};

// A new difference Hessian at phi: central differences where it judges
// convergence or a failed search and gives the standard errors, forward
// differences from the gradient at phi (`at`, half the passes) where it only
// shapes the next steps.
void refresh(PassPipeline& pipeline, const MarginalProblem& problem, const Outer& phi, Curvature& c,
             MarginalSummary& summary, const MarginalTotals* at = nullptr) {
  summary.hessian_failed = FailedPlot{};
  summary.hessian = outer_hessian(pipeline, problem, phi, summary.hessian_failed, at);
  c = {summary.hessian, true, at == nullptr};
}

// The outer parameters a step leaves where they are: each ln sigma held at
// its bound while the objective still falls below it, and with two locals
// the correlation once a deviation is held (it no longer moves the
// population, and the objective is flat in it) or while it is held at its
// bound and the objective still falls beyond it.
std::array<bool, model::marginal::kMaxOuter> frozen_at_bounds(const MarginalProblem& problem, const Outer& phi,
                                                               const MarginalTotals& totals,
                                                               const MarginalSummary& summary) {
  std::array<bool, model::marginal::kMaxOuter> frozen{};
  const int ng = problem.sizes.ng, nl = problem.sizes.nl;
  bool any = false;
  for (int l = 0; l < nl; ++l) {
    const auto j = static_cast<std::size_t>(ng + nl + l);
    frozen[j] = summary.boundary[static_cast<std::size_t>(l)] && totals.gradient[j] >= 0.0;
    any = any || frozen[j];
  }
  if (nl == 2) {
    // The correlation at its bound while the objective still falls beyond it.
    const auto z = static_cast<std::size_t>(ng + 2 * nl);
    frozen[z] = any || (summary.correlation_boundary && totals.gradient[z] * phi[z] <= 0.0);
  }
  return frozen;
}

// The Newton step on c made positive definite where it is not, with the
// parameters frozen at their bounds left out; the BHHH step when a plot
// failed on the way to the Hessian.
Step outer_step(const MarginalProblem& problem, const Outer& phi, const Curvature& c, const MarginalTotals& totals,
                const MarginalSummary& summary) {
  const int n = problem.outer;
  const auto frozen = frozen_at_bounds(problem, phi, totals, summary);
  OuterMatrix h = c.h;
  Outer g = totals.gradient;
  for (int j = 0; j < n; ++j) {
    if (!frozen[static_cast<std::size_t>(j)]) continue;
    for (int i = 0; i < n; ++i) h[static_cast<std::size_t>(i * kLd + j)] = h[static_cast<std::size_t>(j * kLd + i)] = 0.0;
    h[static_cast<std::size_t>(j * kLd + j)] = 1.0;
    g[static_cast<std::size_t>(j)] = 0.0;
  }
  Step step;
  if (summary.hessian_failed.iplot != 0 || !modified_newton(h, n, g, step.dx, &step.negative))
    step = {bhhh_step(totals, n), false};
  for (int j = 0; j < n; ++j)
    if (frozen[static_cast<std::size_t>(j)]) step.dx[static_cast<std::size_t>(j)] = 0.0;
  return step;
}

// The BFGS update of c for the step s = phi1 - phi0 and the change y of the
// gradient; false (c untouched) when y's or s'Cs is not positive.
bool bfgs_update(int n, const Outer& s, const Outer& y, Curvature& c) {
  Outer cs{};
  double ys = 0.0, scs = 0.0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j)
      cs[static_cast<std::size_t>(i)] += c.h[static_cast<std::size_t>(i * kLd + j)] * s[static_cast<std::size_t>(j)];
    ys += y[static_cast<std::size_t>(i)] * s[static_cast<std::size_t>(i)];
  }
  for (int i = 0; i < n; ++i) scs += s[static_cast<std::size_t>(i)] * cs[static_cast<std::size_t>(i)];
  if (!(ys > 0.0) || !(scs > 0.0)) return false;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      c.h[static_cast<std::size_t>(i * kLd + j)] +=
          y[static_cast<std::size_t>(i)] * y[static_cast<std::size_t>(j)] / ys -
          cs[static_cast<std::size_t>(i)] * cs[static_cast<std::size_t>(j)] / scs;
  c.fresh = false;
  c.central = false;
  return true;
}

// After an accepted step from phi0 (gradient g0): the BFGS update after a
// full step, a new difference Hessian after a shortened or doubled one or
// when the update fails.
void follow_step(PassPipeline& pipeline, const MarginalProblem& problem, const Outer& phi0, const Outer& g0,
                 const Outer& phi, const MarginalTotals& totals, double alpha, Curvature& c,
                 MarginalSummary& summary) {
  Outer s{}, y{};
  for (int i = 0; i < problem.outer; ++i) {
    s[static_cast<std::size_t>(i)] = phi[static_cast<std::size_t>(i)] - phi0[static_cast<std::size_t>(i)];
    y[static_cast<std::size_t>(i)] = totals.gradient[static_cast<std::size_t>(i)] - g0[static_cast<std::size_t>(i)];
  }
  if (alpha == 1.0 && summary.hessian_failed.iplot == 0 && bfgs_update(problem.outer, s, y, c)) return;
  refresh(pipeline, problem, phi, c, summary, &totals);
}

double slope_of(const MarginalTotals& totals, const Outer& dx, int n) {
  double slope = 0.0;
  for (int i = 0; i < n; ++i) slope += totals.gradient[static_cast<std::size_t>(i)] * dx[static_cast<std::size_t>(i)];
  return slope;
}

// Narrows the starting deviations while a plot has no usable mode; false
// (the summary says which plot) when one still has none.
// A global deviation at 0 (fixed-locals fits of two-local models put the
// process deviation there) starts the fit at a saddle of the marginal
// objective, which is even in it: moved off 0 by a fraction of the largest
// other deviation, the fit goes downhill from the start.
void leave_saddles(const MarginalProblem& problem, Outer& phi) {
  const model::ModelEntry& m = model::catalogue_entry(problem.esde.model);
  double largest = 0.0;
  for (int i = 0; i < m.ng(); ++i)
    if (model::is_deviation(m.globals[static_cast<std::size_t>(i)]))
      largest = std::max(largest, std::fabs(phi[static_cast<std::size_t>(i)]));
  for (int i = 0; i < m.ng(); ++i)
    if (model::is_deviation(m.globals[static_cast<std::size_t>(i)]) &&
        std::fabs(phi[static_cast<std::size_t>(i)]) < kSaddleDeviation * largest)
      phi[static_cast<std::size_t>(i)] = kSaddleStart * largest;
}

bool start(PassPipeline& pipeline, const MarginalProblem& problem, Outer& phi, MarginalTotals& totals,
           MarginalSummary& summary) {
  leave_saddles(problem, phi);
  totals = marginal_pass(pipeline, problem, phi, true, true);
  // Deviations from fixed-locals estimates are inflated by the plots whose
  // locals the data hardly fix, and a wide population can leave a plot
  // without a usable peak: narrow the start.
  for (int tries = 0; totals.failed.iplot != 0 && tries < kStartNarrowings; ++tries) {
    for (int l = 0; l < problem.sizes.nl; ++l)
      phi[static_cast<std::size_t>(problem.sizes.ng + problem.sizes.nl + l)] -= std::log(2.0);
    totals = marginal_pass(pipeline, problem, phi, true, true);
  }
  if (totals.failed.iplot == 0) return true;
  summary.outcome = MarginalOutcome::plot_failed;
  summary.failed = totals.failed;
  return false;
}

}  // namespace

MarginalSummary random_locals_fit(PassPipeline& pipeline, const MarginalProblem& problem,
                                  const MarginalOptions& options, Outer& phi, MarginalMonitor& monitor) {
  MarginalSummary summary;
  const int n = problem.outer;
  MarginalTotals totals;
  if (!start(pipeline, problem, phi, totals, summary)) return summary;
  // With many plots the first step can take the plots' scores, B = (1/2)
  // sum g_p g_p', close to the Hessian then (no extra pass); with few, B is
  // far from it away from the minimum and a difference Hessian starts.
  Curvature c{totals.bhhh, false, false};
  if (problem.sizes.np < kScoresStartPlots * n) refresh(pipeline, problem, phi, c, summary, &totals);
  double alpha = 0.0;
  for (int k = 0;; ++k) {
    Step step = outer_step(problem, phi, c, totals, summary);
    // Convergence and a failed search are judged on a new central difference Hessian.
    if (largest(step.dx, n) <= options.tolerance && !c.central) {
      refresh(pipeline, problem, phi, c, summary);
      step = outer_step(problem, phi, c, totals, summary);
    }
    summary.last = {k, totals.objective, largest(step.dx, n), largest(totals.gradient, n), alpha};
    summary.iterations = k + 1;
    monitor.iteration(summary.last, std::span<const double>(phi.data(), static_cast<std::size_t>(n)));
    if (summary.last.dmax <= options.tolerance) return summary;
    if (k >= options.iteration_limit) {
      if (!c.central) refresh(pipeline, problem, phi, c, summary);
      summary.outcome = MarginalOutcome::iteration_limit_exceeded;
      return summary;
    }
    const Outer phi0 = phi, g0 = totals.gradient;
    double slope = slope_of(totals, step.dx, n);
    alpha = line_search(pipeline, problem, step, slope, phi, totals, summary);
    if (alpha == 0.0 && !c.central) {
      refresh(pipeline, problem, phi, c, summary);
      step = outer_step(problem, phi, c, totals, summary);
      slope = slope_of(totals, step.dx, n);
      alpha = line_search(pipeline, problem, step, slope, phi, totals, summary);
    }
    if (alpha == 0.0) {
      // No lower point: within rounding of the minimum, or a step that is wrong.
      summary.outcome = std::fabs(slope) <= 1e-10 * (1.0 + std::fabs(totals.objective))
                            ? MarginalOutcome::converged
                            : MarginalOutcome::step_vanished;
      marginal_pass(pipeline, problem, phi, false, true);  // the records back at the accepted point
      return summary;
    }
    // A full step of at most kKeepCentral times the tolerance from a central
    // difference Hessian moves it by far less than its own differences do:
    // convergence is judged on it again rather than on a new one.
    if (c.central && alpha == 1.0 && summary.last.dmax <= kKeepCentral * options.tolerance) continue;
    follow_step(pipeline, problem, phi0, g0, phi, totals, alpha, c, summary);
  }
}

OuterMatrix outer_hessian(PassPipeline& pipeline, const MarginalProblem& problem, const Outer& phi,
                          FailedPlot& failed, const MarginalTotals* at) {
  const int n = problem.outer;
  OuterMatrix h{};
  for (int j = 0; j < n; ++j) {
    const double step = 1e-4 * std::fmax(1.0, std::fabs(phi[static_cast<std::size_t>(j)]));
    Outer up = phi, down = phi;
    up[static_cast<std::size_t>(j)] += step;
    const MarginalTotals a = marginal_pass(pipeline, problem, up, true, false);
    MarginalTotals b;
    // A parameter within a step of 0 takes central differences: a deviation
    // entering through its square is at a saddle there by symmetry, where a
    // one-sided difference would see a slope.
    if (at == nullptr || std::fabs(phi[static_cast<std::size_t>(j)]) < step) {
      down[static_cast<std::size_t>(j)] -= step;
      b = marginal_pass(pipeline, problem, down, true, false);
    } else {
      b = *at;
    }
    if (failed.iplot == 0) failed = a.failed.iplot != 0 ? a.failed : b.failed;
    const double width = up[static_cast<std::size_t>(j)] - down[static_cast<std::size_t>(j)];
    for (int i = 0; i < n; ++i)
      h[static_cast<std::size_t>(i * kLd + j)] =
          (a.gradient[static_cast<std::size_t>(i)] - b.gradient[static_cast<std::size_t>(i)]) / width;
  }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < i; ++j) {
      const double s = 0.5 * (h[static_cast<std::size_t>(i * kLd + j)] + h[static_cast<std::size_t>(j * kLd + i)]);
      h[static_cast<std::size_t>(i * kLd + j)] = s;
      h[static_cast<std::size_t>(j * kLd + i)] = s;
    }
  return h;
}

}  // namespace estimator
