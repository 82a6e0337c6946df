// One pass of the random-locals fit over every plot, in file order: each
// plot's marginal term m_p at the outer parameters phi (globals, means of the
// locals, psi; model/marginal/marginal_term.hpp), its mode searched from the
// locals of its record, and the sums over the plots formed in plot order, so
// that they do not depend on the number of threads:
//   objective = sum m_p,  gradient = sum g_p,  bhhh = (1/2) sum g_p g_p'.
// A pass that writes back puts each plot's mode into its record's locals,
// so that the next pass (or a new run) starts its search there.
#pragma once

#include <array>
#include <functional>

#include "estimator/pass_pipeline.hpp"
#include "model/marginal/marginal_term.hpp"

namespace estimator {

using OuterMatrix = std::array<double, model::marginal::kMaxOuter * model::marginal::kMaxOuter>;

struct MarginalProblem {
  const Sizes& sizes;
  const model::Esde& esde;
  const model::marginal::QuadratureRule& rule;
  int outer = 0;  // NG + NL + NL (NL + 1) / 2
};

// The first plot whose term could not be formed.
struct FailedPlot {
  int iplot = 0;  // 0: none
  int id = 0;
  model::marginal::PlotStatus status = model::marginal::PlotStatus::ok;
};

struct MarginalTotals {
  double objective = 0.0;
  model::marginal::Outer gradient{};
  OuterMatrix bhhh{};  // row by row, leading dimension kMaxOuter
  FailedPlot failed;
};

// Called in plot order with each plot's position and slot (the slot's
// `marginal` holds the plot's result).
using MarginalVisit = std::function<void(int, const PlotSlot&)>;

// The sums at phi (the gradient and bhhh only when `gradient` is set); the
// records are rewritten with the modes when `write_modes` is set (a plot that
// failed keeps its locals).
MarginalTotals marginal_pass(PassPipeline& pipeline, const MarginalProblem& problem, const model::marginal::Outer& phi,
                             bool gradient, bool write_modes, const MarginalVisit& visit = nullptr);

}  // namespace estimator
