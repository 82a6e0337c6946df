// A new plot's locals given a finished run's globals: the values that
// maximise the plot's likelihood with the globals held, and their standard
// errors, sqrt(2) times the square roots of the diagonal of the inverse of
// the objective's Hessian in the locals (the objective being minus twice the
// log-likelihood, as in the estimator's report; the globals' own error is
// not in them). The start is the starter's conditional optimum (a local
// asymptote in closed form, a local rate by a search over rates
// reference × 4^k, k = -15 .. 15, and Brent's method: starter/plot_locals.hpp);
// the estimator's per-plot kernels then take Newton steps on the locals with
// the globals held (the derivative pass and the step pass with no global
// step), at most 0.5 in any local at a time, halved until the objective does
// not rise, until the largest step is below 1e-12 relative. A plot whose
// locals its measurements cannot determine is refused with the reason.
#pragma once

#include <array>
#include <string>

#include "common/limits.hpp"

#include "common/plot.hpp"
#include "model/model_records.hpp"
#include "projector/run_results.hpp"

namespace projector {

struct NewPlotLocals {
  model::Locals locals{};
  model::Locals standard_errors{};
  double objective = 0.0;  // the plot's minus twice log-likelihood at the locals
  // The plot's record as the estimator would hold it at these locals (the
  // locals, the work block with lcross = L^-1 B, the factor L of the local
  // block: common/plot_file_layout.hpp), for draws with the globals' error.
  std::array<double, common::kRecordReals> record{};
  std::string refusal;     // why the locals are not determined; empty when they are
};

class NewPlotFitter {
 public:
  explicit NewPlotFitter(const RunResults& run);
  ~NewPlotFitter();
  NewPlotFitter(const NewPlotFitter&) = delete;
  NewPlotFitter& operator=(const NewPlotFitter&) = delete;

  // `plot` in the scaled units of the run's data file.
  NewPlotLocals fit(const common::Plot& plot) const;

  struct State;  // the model's roles, the sizes and the likelihood kernels

 private:
  State* state_;
};

}  // namespace projector
