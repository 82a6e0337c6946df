#include "estimator/marginal_pass.hpp"

namespace estimator {
namespace {

using model::marginal::PlotStatus;

void evaluate_plot(const MarginalProblem& problem, const model::marginal::Outer& phi, bool gradient, bool write_modes,
                   PlotSlot& s) {
  const int nl = problem.sizes.nl;
  model::marginal::LocalPair start{};
  for (int l = 0; l < nl; ++l) start[static_cast<std::size_t>(l)] = s.locals[static_cast<std::size_t>(l)];
  const model::marginal::PlotMeasurements plot{s.data.n, s.data.ages.data(), s.data.heights.data()};
  s.marginal = model::marginal::marginal_term(problem.esde, problem.rule, phi, plot, start, gradient);
  if (s.marginal.status != PlotStatus::ok) {
    // A search from the record's locals (a fixed-locals estimate far out, or
    // the mode of a rejected trial point) may end away from the peak: try
    // again from the population mean.
    for (int l = 0; l < nl; ++l)
      start[static_cast<std::size_t>(l)] = phi[static_cast<std::size_t>(problem.sizes.ng + l)];
    s.marginal = model::marginal::marginal_term(problem.esde, problem.rule, phi, plot, start, gradient);
  }
  if (!write_modes || s.marginal.status != PlotStatus::ok) return;
  for (int l = 0; l < nl; ++l) s.locals[static_cast<std::size_t>(l)] = s.marginal.mode[static_cast<std::size_t>(l)];
}

void add_plot(const MarginalProblem& problem, bool gradient, int iplot, const PlotSlot& s, MarginalTotals& totals) {
  const model::marginal::PlotMarginal& m = s.marginal;
  if (m.status != PlotStatus::ok) {
    if (totals.failed.iplot == 0) totals.failed = {iplot, s.record_id, m.status};
    return;
  }
  totals.objective += m.term;
  if (!gradient) return;
  const int no = problem.outer;
  for (int i = 0; i < no; ++i) {
    const double gi = m.gradient[static_cast<std::size_t>(i)];
    totals.gradient[static_cast<std::size_t>(i)] += gi;
    for (int j = 0; j < no; ++j)
      totals.bhhh[static_cast<std::size_t>(i * model::marginal::kMaxOuter + j)] +=
          0.5 * gi * m.gradient[static_cast<std::size_t>(j)];
  }
}

}  // namespace

MarginalTotals marginal_pass(PassPipeline& pipeline, const MarginalProblem& problem, const model::marginal::Outer& phi,
                             bool gradient, bool write_modes, const MarginalVisit& visit) {
  MarginalTotals totals;
  const auto evaluate = [&](std::span<PlotSlot> group) {
    for (PlotSlot& s : group) evaluate_plot(problem, phi, gradient, write_modes, s);
  };
  const auto take = [&](const PlotSlot& s, int iplot) {
    add_plot(problem, gradient, iplot, s, totals);
    if (visit) visit(iplot, s);
  };
  pipeline.run(true, write_modes, evaluate, take);
  return totals;
}

}  // namespace estimator
