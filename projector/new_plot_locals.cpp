#include "projector/new_plot_locals.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "common/plot_file_layout.hpp"
#include "estimator/cholesky.hpp"
#include "estimator/plot_kernels.hpp"
#include "model/lanes/likelihood_kernels.hpp"
#include "model/model_table.hpp"
#include "model/moved_parameters.hpp"
#include "starter/model_roles.hpp"
#include "starter/plot_locals.hpp"

namespace projector {

namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

constexpr int kNewtonIterations = 100;
constexpr int kHalvings = 60;
constexpr double kLargestMove = 0.5;     // the estimator's largest move of a parameter
constexpr double kStepTolerance = 1e-12;  // relative to the locals
constexpr double kRoundingGain = 1e-14;   // a gain of the objective within its rounding, relative

}  // namespace

struct NewPlotFitter::State {
  const RunResults& run;
  starter::ModelRoles roles;
  estimator::Sizes sizes;
  model::LikelihoodKernels kernels;
  double rate_reference;
};

namespace {

int distinct_ages(const common::Plot& plot) {
  int distinct = plot.n > 0 ? 1 : 0;
  for (int i = 1; i < plot.n; ++i) distinct += plot.ages[static_cast<std::size_t>(i)] != plot.ages[i - 1];
  return distinct;
}

// The objective at locals + alpha × step (the slot's work column).
double trial(const NewPlotFitter::State& s, estimator::PlotSlot& slot, double alpha) {
  estimator::trial_group(s.run.esde, s.sizes, s.kernels, s.run.globals, alpha, std::span(&slot, 1));
  return slot.f;
}

// Derivatives at locals + alpha × step, then the Newton step with the globals held.
void newton_step(const NewPlotFitter::State& s, estimator::PlotSlot& slot, double alpha) {
  estimator::derivative_group(s.run.esde, s.sizes, s.kernels, s.run.globals, alpha, std::span(&slot, 1));
  estimator::step_group(s.sizes, model::Globals{}, std::span(&slot, 1));
}

double largest_local(const estimator::PlotSlot& slot, int nl) {
  double m = 0.0;
  for (int j = 0; j < nl; ++j) m = std::max(m, std::fabs(slot.locals[at(j)]));
  return m;
}

// Newton on the locals from the slot's locals, until the step is negligible
// or no step lowers the objective (its rounding floor).
void polish(const NewPlotFitter::State& s, estimator::PlotSlot& slot) {
  slot.work.fill(0.0);
  newton_step(s, slot, 0.0);
  double f = trial(s, slot, 0.0);
  for (int iteration = 0; iteration < kNewtonIterations; ++iteration) {
    const double negligible = kStepTolerance * (1.0 + largest_local(slot, s.sizes.nl));
    if (!(slot.largest > negligible)) return;
    double alpha = std::min(1.0, kLargestMove / slot.largest);
    double trial_f = trial(s, slot, alpha);
    // Halvings while the move is more than negligible.
    for (int h = 0; h < kHalvings && !(trial_f <= f) && alpha * slot.largest > negligible; ++h)
      trial_f = trial(s, slot, alpha *= 0.5);
    if (!(trial_f <= f)) return;  // at the rounding floor of the objective
    // A step that gains no more than rounding ends the search once taken:
    // repeating it would only move the locals about within the floor.
    const bool at_floor = !(f - trial_f > kRoundingGain * (1.0 + std::fabs(f)));
    f = trial_f;
    newton_step(s, slot, alpha);
    if (at_floor) return;
  }
}

}  // namespace

NewPlotFitter::NewPlotFitter(const RunResults& run)
    : state_(new State{run, starter::model_roles(run.esde.model), estimator::make_sizes(run.ng, run.nl, 1),
                       model::likelihood_kernels(model::moved_parameters(run.esde.model)), 1.0}) {
  const int rate = state_->roles.rate_local;
  state_->rate_reference = rate >= 0 ? run.local_averages[static_cast<std::size_t>(rate)] : 1.0;
  if (!(state_->rate_reference > 0.0)) state_->rate_reference = 1.0;
}

NewPlotFitter::~NewPlotFitter() { delete state_; }

NewPlotLocals NewPlotFitter::fit(const common::Plot& plot) const {
  const State& s = *state_;
  const int nl = s.sizes.nl;
  NewPlotLocals out;
  if (distinct_ages(plot) < nl) {
    out.refusal = std::to_string(plot.n) + " measurement" + (plot.n == 1 ? "" : "s") + " at " +
                  std::to_string(distinct_ages(plot)) + " age" + (distinct_ages(plot) == 1 ? "" : "s") +
                  ": the " + std::to_string(nl) + " locals of model " + std::to_string(s.run.esde.model) +
                  " need measurements at " + std::to_string(nl) + " ages or more";
    return out;
  }
  const starter::LocalFit start =
      starter::fit_locals(s.roles, s.run.esde, s.run.globals, plot, s.rate_reference, starter::RateSearch::wide);
  if (start.at_bound) {
    out.refusal = "its rate runs to the end of the rates searched (4^15 = about 1e9 times the run's average rate "
                  "either way): the measurements do not determine its locals";
    return out;
  }
  estimator::PlotSlot slot{};
  slot.data = plot;
  slot.locals = start.locals;
  polish(s, slot);
  if (slot.ierr != 0) {
    out.refusal = "the plot's objective has no minimum in its locals there (its Hessian is not positive definite)";
    return out;
  }
  out.locals = slot.locals;
  out.objective = trial(s, slot, 0.0);
  const common::RecordLayout layout{s.sizes.ng, nl};
  std::copy_n(slot.locals.begin(), nl, out.record.begin());
  std::copy_n(slot.work.begin(), layout.work_reals(), out.record.begin() + layout.work_first());
  std::copy_n(slot.lfactor.begin(), layout.factor_reals(), out.record.begin() + layout.factor_first());
  estimator::InverseMatrix inverse{};
  estimator::chinv(nl, s.sizes.nll, slot.lfactor, inverse);
  for (int j = 0; j < nl; ++j)
    out.standard_errors[at(j)] = std::sqrt(2.0 * inverse[estimator::inverse_at(j, j)]);
  return out;
}

}  // namespace projector
