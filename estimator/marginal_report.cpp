#include "estimator/marginal_report.hpp"

#include <cmath>

#include "io/format.hpp"

namespace estimator {
namespace {

constexpr int kLd = model::marginal::kMaxOuter;

void write_row(io::TextWriter& out, const double* v, int count) {
  static const io::Format row("(10G15.7)");
  out.write(row, io::Items().reals(std::span<const double>(v, static_cast<std::size_t>(count))));
}

void write_outcome(io::TextWriter& out, const MarginalSummary& fit) {
  if (fit.outcome == MarginalOutcome::iteration_limit_exceeded)
    out.line("0ITERATION LIMIT EXCEEDED. IGNORE STANDARD ERRORS AND CORRELATIONS BELOW");
  else
    out.line("0CONVERGED");
}

void write_approximation(io::TextWriter& out, int k) {
  if (k == 1)
    out.line("0RANDOM LOCALS: MARGINAL LIKELIHOOD BY THE LAPLACE APPROXIMATION");
  else
    out.line("0RANDOM LOCALS: MARGINAL LIKELIHOOD BY ADAPTIVE GAUSS-HERMITE QUADRATURE, " + std::to_string(k) +
             " NODES PER LOCAL");
}

}  // namespace

const char* marginal_outcome_text(MarginalOutcome o) {
  return o == MarginalOutcome::iteration_limit_exceeded ? "iteration limit exceeded" : "converged";
}

void write_marginal_head(io::TextWriter& out, const MarginalRun& run, const MarginalEstimates& e) {
  static const io::Format title("(1H ,20A4,/)");
  out.write(title, io::Items().chunks(run.title, 4));
  write_outcome(out, run.fit);
  write_approximation(out, run.nodes_per_local);
  if (!e.hessian_positive)
    out.line("0OUTER HESSIAN NOT POSITIVE-DEFINITE. IGNORE STANDARD ERRORS AND CORRELATIONS BELOW");
  const int npop = e.outer - e.ng;
  out.line("0GLOBAL PARAMETERS:");
  write_row(out, e.phi.data(), e.ng);
  out.line("0STANDARD ERRORS:");
  write_row(out, e.phi_se.data(), e.ng);
  out.line("0POPULATION OF THE LOCALS (MEANS, STANDARD DEVIATIONS, CORRELATION):");
  write_row(out, e.population.data(), npop);
  out.line("0STANDARD ERRORS:");
  write_row(out, e.population_se.data(), npop);
  for (int l = 0; l < e.nl; ++l)
    if (run.fit.boundary[static_cast<std::size_t>(l)])
      out.line("0STANDARD DEVIATION " + std::to_string(l + 1) + " AT ITS LOWER BOUND: A BOUNDARY ESTIMATE");
  if (run.fit.correlation_boundary) out.line("0CORRELATION AT ITS BOUND (+-0.9999): A BOUNDARY ESTIMATE");
  out.line("0CORRELATIONS OF THE OUTER PARAMETERS (GLOBALS, MEANS, LN SD, ATANH CORRELATION):");
  for (int i = 0; i < e.outer; ++i) write_row(out, e.correlations.data() + i * kLd, e.outer);
  static const io::Format totals("(42H0MINUS TWICE THE MARGINAL LOG-LIKELIHOOD: ,G18.11,/,12H PARAMETERS:,I3)");
  out.write(totals, io::Items().r(e.objective).i(e.outer));
}

void write_marginal_plot_heading(io::TextWriter& out) {
  out.line("0    PLOT     N    MARGINAL    CONDITIONAL MODES AND STANDARD DEVIATIONS");
}

void write_marginal_plot(io::TextWriter& out, int nl, const PlotSlot& s) {
  static const io::Format line("(1H ,I12,I4,5G13.6)");
  const model::marginal::PlotMarginal& m = s.marginal;
  io::Items items;
  items.i(s.record_id).i(s.data.n).r(m.term);
  for (int l = 0; l < nl; ++l) items.r(m.mode[static_cast<std::size_t>(l)]).r(m.sd[static_cast<std::size_t>(l)]);
  out.write(line, items);
}

}  // namespace estimator
