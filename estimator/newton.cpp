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
#include <string>

#include "estimator/cholesky.hpp"
#include "estimator/pass_pipeline.hpp"
#include "estimator/plot_kernels.hpp"
#include "io/errors.hpp"
#include "io/text_writer.hpp"
#include "model/moved_parameters.hpp"

namespace estimator {
namespace {

constexpr double kStartObjective = 1e75;
constexpr double kSlack = 1e-10;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

std::string number_text(double v) {
  if (std::isnan(v)) return "nan";  // the same on every machine, whatever its sign bit
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

// The first plot whose objective is not finite in a trial pass.
struct BadPlot {
  int iplot = 0;
  int id = 0;
  double f = 0.0;
};

// The first trial at the starting values failed: no step length can help.
[[noreturn]] void stop_at_start(double total, const BadPlot& bad) {
  if (bad.iplot > 0)
    io::stop_with_diagnostic("the objective at the starting values is not finite: plot " + std::to_string(bad.iplot) +
                             " (ID " + std::to_string(bad.id) + ") gives " + number_text(bad.f) +
                             ". Check the starting values of the globals and of that plot's locals");
  io::stop_with_diagnostic("the objective at the starting values is " + number_text(total) +
                           ", above 1e75. Check the starting values");
}

class Newton {
 public:
  Newton(const RunContext& run, int mfreq, GlobalFactor& hfactor)
      : run_(run),
        mfreq_(mfreq),
        hfactor_(hfactor),
        kernels_(model::likelihood_kernels(model::moved_parameters(run.esde.model))),
        pipeline_(run.files, run.sizes, run.threads) {}

  double trial_pass(const model::Globals& globals, double alpha, BadPlot& bad);
  void derivative_pass(const model::Globals& globals, double alpha, int& npd);
  void global_step();
  void step_pass();
  void clear_pending_steps();

  model::Globals dx{};
  model::Globals trial_globals{};
  double dmax = 0.0;
  double gmax = 0.0;
  int npd0 = 0;

 private:
  const RunContext& run_;
  const int mfreq_;
  GlobalFactor& hfactor_;
  const model::LikelihoodKernels kernels_;  // for the model's moved parameters, on this processor's best path
  PassPipeline pipeline_;
  model::Globals summed_gradient_{};
};

double Newton::trial_pass(const model::Globals& globals, double alpha, BadPlot& bad) {
  io::TextWriter& console = io::console();
  write_trial_header(console, alpha);
  for (int i = 0; i < run_.sizes.ng; ++i) trial_globals[at(i)] = globals[at(i)] + alpha * dx[at(i)];
  double fnew = 0.0;
  bad = BadPlot{};
  pipeline_.run(
      true, false,
      [&](std::span<PlotSlot> group) { trial_group(run_.esde, run_.sizes, kernels_, trial_globals, alpha, group); },
      [&](const PlotSlot& s, int iplot) {
        fnew += s.f;
        if (bad.iplot == 0 && !std::isfinite(s.f)) bad = {iplot, s.data.id, s.f};
        if (mfreq_ != 0 && iplot % mfreq_ == 0)
          write_plot_line(console, s.data.id, s.data.n, s.f, {s.trial_locals.data(), at(run_.sizes.nl)});
      });
  return fnew;
}

void Newton::derivative_pass(const model::Globals& globals, double alpha, int& npd) {
  const Sizes& sizes = run_.sizes;
  summed_gradient_.fill(0.0);
  dx.fill(0.0);
  std::fill_n(hfactor_.begin(), sizes.ngg, 0.0);
  gmax = 0.0;
  npd = 0;
  pipeline_.run(
      true, true,
      [&](std::span<PlotSlot> group) { derivative_group(run_.esde, sizes, kernels_, globals, alpha, group); },
      [&](const PlotSlot& s, int) {
        gmax = max_abs(gmax, s.largest);
        npd += s.ierr;
        write_warnings(io::console(), s.warnings);
        add_to_global_system(sizes, s, summed_gradient_, dx, hfactor_);
      });
}

// The globals' step from the reduced system.
void Newton::global_step() {
  const int ng = run_.sizes.ng;
  for (int i = 0; i < ng; ++i) {
    gmax = max_abs(gmax, summed_gradient_[at(i)]);
    dx[at(i)] -= summed_gradient_[at(i)];
  }
  write_warnings(io::console(), chol1(ng, run_.sizes.ngg, 1, ng, hfactor_, dx, npd0));
  chol2(ng, run_.sizes.ngg, 1, ng, hfactor_, dx);
  dmax = 0.0;
  for (int i = 0; i < ng; ++i) dmax = max_abs(dmax, dx[at(i)]);
}

// Each plot's local step by back-substitution.
void Newton::step_pass() {
  dmax = max_abs(dmax, pipeline_.rewrite_records([&](PlotSlot& s) { step_group(run_.sizes, dx, {&s, 1}); }));
}

// Leaves every record at its accepted locals with no pending step, so that a
// new run can start from the file.
void Newton::clear_pending_steps() {
  pipeline_.rewrite_records([&](PlotSlot& s) { std::fill_n(s.work.begin(), run_.sizes.nl, 0.0); });
}

}  // namespace

void newton(const RunContext& run, model::Globals& globals, const int& mfreq, int& itlim, const double& tol,
            GlobalFactor& hfactor, int& npd, IterationSummary& last) {
  Newton state(run, mfreq, hfactor);
  double fold = kStartObjective;
  double alpha = 0.0;
  int k = 0;
  for (bool first = true;; first = false) {
    if (!first) {
      // A full step unless a component exceeds 0.5.
      alpha = 0.5 / state.dmax;
      if (1.0 < alpha || std::isnan(alpha)) alpha = 1.0;
    }
    // Trial passes, halving the step until the objective does not rise.
    BadPlot bad;
    double fnew = state.trial_pass(globals, alpha, bad);
    while (!(fnew <= fold + kSlack)) {
      if (k == 0 && alpha == 0.0) stop_at_start(fnew, bad);
      alpha *= 0.5;
      if (alpha == 0.0) {
        state.clear_pending_steps();
        io::stop_with_diagnostic(
            "the step length fell to 0 without lowering the objective: the Newton step of iteration " +
            std::to_string(k - 1) +
            " is not finite. The local-parameter file holds the locals of the last accepted "
            "point with no pending step; to go on from there, put the globals of the last iteration summary "
            "into the control file, or try other starting values or another model");
      }
      fnew = state.trial_pass(globals, alpha, bad);
    }
    fold = fnew;
    globals = state.trial_globals;
    state.derivative_pass(globals, alpha, npd);
    state.global_step();
    state.step_pass();
    last = {k, fold, npd, state.npd0, state.dmax, state.gmax, alpha};
    write_summary(io::console(), last, {globals.data(), at(run.sizes.ng)});
    io::console().flush();
    ++k;
    // Stop when both the step and the gradient are within the tolerance (a
    // value that is not a number counts as within), or past the limit.
    if (!(state.dmax > tol) && !(state.gmax > tol)) break;
    if (k > itlim) break;
  }
  itlim -= k;
  npd += state.npd0;
}

}  // namespace estimator
