// The Hessian of the total objective is block-arrow shaped: the locals of two
// plots never meet. Each plot's local block C is factored (L) and eliminated,
// the globals' step solves the reduced system S = sum(A - B^T C^-1 B), and each
// plot's local step follows by back-substitution:
//   S dx = sum B^T C^-1 g_l - sum g_x,   lstep = -C^-1 (g_l + B dx).
// Between the derivative pass and the step pass a record's work block holds
// L^-1 g_l (column 1) and L^-1 B (columns 2 .. ng+1).
//
// An iteration: a trial pass at the step length alpha, halved until the total
// objective does not rise; a derivative pass at the accepted point; the
// global step; a step pass; the summary; the stopping test.
#include "estimator/newton.hpp"

#include <cmath>

#include "estimator/cholesky.hpp"
#include "estimator/pass_pipeline.hpp"
#include "estimator/plot_kernels.hpp"
#include "model/moved_parameters.hpp"

namespace estimator {
namespace {

constexpr double kStartObjective = 1e75;
constexpr double kSlack = 1e-10;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

class Newton {
 public:
  Newton(const Sizes& sizes, const Files& files, const model::Esde& esde, const NewtonOptions& options,
         GlobalFactor& hfactor, NewtonMonitor& monitor)
      : sizes_(sizes),
        esde_(esde),
        options_(options),
        hfactor_(hfactor),
        monitor_(monitor),
        kernels_(model::likelihood_kernels(model::moved_parameters(esde.model))),
        pipeline_(files, sizes, options.threads) {}

  double trial_pass(const model::Globals& globals, double alpha, BadPlot& bad);
  void derivative_pass(const model::Globals& globals, double alpha);
  void global_step();
  void step_pass();
  void clear_pending_steps();

  model::Globals dx{};
  model::Globals trial_globals{};
  int k = 0;  // the iteration
  double dmax = 0.0;
  double gmax = 0.0;
  int npd = 0;
  int npd0 = 0;

 private:
  // Progress after each block of plots taken in order.
  void report_progress(Pass pass, int iplot) const {
    if (iplot % PassPipeline::kBlockPlots == 0 || iplot == sizes_.np) monitor_.progress(pass, k, iplot, sizes_.np);
  }

  const Sizes& sizes_;
  const model::Esde& esde_;
  const NewtonOptions& options_;
  GlobalFactor& hfactor_;
  NewtonMonitor& monitor_;
  const model::LikelihoodKernels kernels_;  // for the model's moved parameters, on this processor's best path
  PassPipeline pipeline_;
  model::Globals summed_gradient_{};
};

double Newton::trial_pass(const model::Globals& globals, double alpha, BadPlot& bad) {
  monitor_.trial(alpha);
  monitor_.progress(Pass::trial, k, 0, sizes_.np);
  for (int i = 0; i < sizes_.ng; ++i) trial_globals[at(i)] = globals[at(i)] + alpha * dx[at(i)];
  const int mfreq = options_.monitor_every;
  double fnew = 0.0;
  bad = BadPlot{};
  pipeline_.run(
      true, false,
      [&](std::span<PlotSlot> group) { trial_group(esde_, sizes_, kernels_, trial_globals, alpha, group); },
      [&](const PlotSlot& s, int iplot) {
        fnew += s.f;
        if (bad.iplot == 0 && !std::isfinite(s.f)) bad = {iplot, s.data.id, s.f};
        if (mfreq != 0 && iplot % mfreq == 0)
          monitor_.plot(s.data.id, s.data.n, s.f, {s.trial_locals.data(), at(sizes_.nl)});
        report_progress(Pass::trial, iplot);
      });
  return fnew;
}

void Newton::derivative_pass(const model::Globals& globals, double alpha) {
  const Sizes& sizes = sizes_;
  monitor_.progress(Pass::derivative, k, 0, sizes.np);
  summed_gradient_.fill(0.0);
  dx.fill(0.0);
  std::fill_n(hfactor_.begin(), sizes.ngg, 0.0);
  gmax = 0.0;
  npd = 0;
  pipeline_.run(
      true, true, [&](std::span<PlotSlot> group) { derivative_group(esde_, sizes, kernels_, globals, alpha, group); },
      [&](const PlotSlot& s, int iplot) {
        gmax = max_abs(gmax, s.largest);
        npd += s.ierr;
        if (s.warnings > 0) monitor_.warnings(s.warnings);
        add_to_global_system(sizes, s, summed_gradient_, dx, hfactor_);
        report_progress(Pass::derivative, iplot);
      });
}

// The globals' step from the reduced system.
void Newton::global_step() {
  const int ng = sizes_.ng;
  for (int i = 0; i < ng; ++i) {
    gmax = max_abs(gmax, summed_gradient_[at(i)]);
    dx[at(i)] -= summed_gradient_[at(i)];
  }
  const int warnings = chol1(ng, sizes_.ngg, 1, ng, hfactor_, dx, npd0);
  if (warnings > 0) monitor_.warnings(warnings);
  chol2(ng, sizes_.ngg, 1, ng, hfactor_, dx);
  dmax = 0.0;
  for (int i = 0; i < ng; ++i) dmax = max_abs(dmax, dx[at(i)]);
}

// Each plot's local step by back-substitution.
void Newton::step_pass() {
  monitor_.progress(Pass::step, k, 0, sizes_.np);
  dmax = max_abs(dmax, pipeline_.rewrite_records([&](PlotSlot& s) { step_group(sizes_, dx, {&s, 1}); }));
}

// Leaves every record at its accepted locals with no pending step, so that a
// new run can start from the file.
void Newton::clear_pending_steps() {
  pipeline_.rewrite_records([&](PlotSlot& s) { std::fill_n(s.work.begin(), sizes_.nl, 0.0); });
}

// The step length of an iteration after the first: a full step unless a
// component exceeds 0.5.
double step_length_after(double dmax) {
  const double alpha = 0.5 / dmax;
  return 1.0 < alpha || std::isnan(alpha) ? 1.0 : alpha;
}

// The summary of a run that ended after `state.k` iterations: the limit
// counts the iterations after the first.
NewtonSummary ended(const Newton& state, const NewtonOptions& options, const IterationSummary& last) {
  NewtonSummary summary;
  summary.iterations = state.k;
  summary.last = last;
  summary.npd = state.npd + state.npd0;
  if (state.k > options.iteration_limit)
    summary.outcome = NewtonOutcome::iteration_limit_exceeded;
  else
    summary.outcome = summary.npd > 0 ? NewtonOutcome::not_positive_definite : NewtonOutcome::converged;
  return summary;
}

}  // namespace

NewtonSummary newton(const Sizes& sizes, const Files& files, const model::Esde& esde, const NewtonOptions& options,
                     model::Globals& globals, GlobalFactor& hfactor, NewtonMonitor& monitor) {
  Newton state(sizes, files, esde, options, hfactor, monitor);
  double fold = kStartObjective;
  double alpha = 0.0;
  IterationSummary last;
  for (;; ++state.k) {
    if (state.k > 0) alpha = step_length_after(state.dmax);
    // Trial passes, halving the step until the objective does not rise.
    BadPlot bad;
    double fnew = state.trial_pass(globals, alpha, bad);
    while (!(fnew <= fold + kSlack)) {
      if (state.k == 0 && alpha == 0.0) {
        NewtonSummary failed;
        failed.outcome = NewtonOutcome::start_not_finite;
        failed.objective = fnew;
        failed.bad = bad;
        return failed;
      }
      alpha *= 0.5;
      if (alpha == 0.0) {
        state.clear_pending_steps();
        NewtonSummary failed = ended(state, options, last);
        failed.outcome = NewtonOutcome::step_vanished;
        return failed;
      }
      fnew = state.trial_pass(globals, alpha, bad);
    }
    fold = fnew;
    globals = state.trial_globals;
    state.derivative_pass(globals, alpha);
    state.global_step();
    state.step_pass();
    last = {state.k, fold, state.npd, state.npd0, state.dmax, state.gmax, alpha};
    monitor.iteration(last, {globals.data(), at(sizes.ng)});
    // Stop when both the step and the gradient are within the tolerance (a
    // value that is not a number counts as within), or past the limit.
    const bool within = !(state.dmax > options.tolerance) && !(state.gmax > options.tolerance);
    if (within || state.k + 1 > options.iteration_limit) {
      ++state.k;
      return ended(state, options, last);
    }
  }
}

}  // namespace estimator
