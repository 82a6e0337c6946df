// Every uncertainty figure comes from the inverse of the Hessian of the total
// objective (minus twice the log-likelihood) at the estimates, so each
// variance is twice an element of that inverse. With V = S^-1 (S the reduced
// global Hessian) and, per plot, W = C^-1 B, the plot's block of the inverse
// for its locals is K = C^-1 + W V W^T, and -W V its block against the globals.
#include "estimator/report.hpp"

#include <cmath>

#include "common/fingerprint.hpp"
#include "estimator/cholesky.hpp"
#include "estimator/matrix_index.hpp"
#include "estimator/plot_files.hpp"
#include "io/format.hpp"
#include "model/likelihood.hpp"
#include "model/models.hpp"

namespace estimator {
namespace {

constexpr int kL = common::kMaxLocals;
constexpr int kG = common::kMaxGlobals;
using LocalsByGlobals = std::array<double, kL * kG>;  // column by column, leading dimension kL
using LocalsByLocals = std::array<double, kL * kL>;

constexpr std::size_t at6(int i, int j) { return column_major(i, j, kL); }
constexpr std::size_t at10(int i, int j) { return inverse_at(i, j); }

const io::Format& standard_errors_format() {
  static const io::Format f("(17H0STANDARD ERRORS:,/,10G15.7)");
  return f;
}
const io::Format& correlations_format() {
  static const io::Format f("(14H0CORRELATIONS:)");
  return f;
}
const io::Format& row_format() {
  static const io::Format f("(10G15.7)");
  return f;
}
const io::Format& with_globals_format() {
  static const io::Format f("(36H0CORRELATION WITH GLOBAL PARAMETERS:)");
  return f;
}

// V as a symmetric matrix from its lower triangle.
inline double sym(const InverseMatrix& v, int k, int l) { return k >= l ? v[at10(k, l)] : v[at10(l, k)]; }

// One summary of the locals: averages, standard errors, correlations among
// themselves and with the globals.
LocalSummary summarise_locals(const Sizes& sizes, const std::array<double, kL>& sums, const LocalsByLocals& m,
                              const LocalsByGlobals& cross, const InverseMatrix& v, double r) {
  const int nl = sizes.nl;
  const int ng = sizes.ng;
  LocalSummary out;
  for (int i = 0; i < nl; ++i) {
    out.averages[static_cast<std::size_t>(i)] = r * sums[static_cast<std::size_t>(i)];
    out.standard_errors[static_cast<std::size_t>(i)] = std::sqrt(2.0 * r * m[at6(i, i)]);
    for (int j = 0; j <= i; ++j) {
      const double c = m[at6(i, j)] / std::sqrt(m[at6(i, i)] * m[at6(j, j)]);
      out.correlations[at6(j, i)] = c;
      out.correlations[at6(i, j)] = c;
    }
    for (int j = 0; j < ng; ++j) {
      double s = 0.0;
      for (int k = 0; k < ng; ++k) s += cross[at6(i, k)] * sym(v, k, j);
      out.with_globals[static_cast<std::size_t>(i * kG + j)] = -s / std::sqrt(m[at6(i, i)] * v[at10(j, j)] / r);
    }
  }
  return out;
}

void write_local_summary(io::TextWriter& out, const Sizes& sizes, const io::Format& heading, const LocalSummary& s) {
  const int nl = sizes.nl;
  const int ng = sizes.ng;
  out.write(heading, io::Items().reals({s.averages.data(), static_cast<std::size_t>(nl)}));
  out.write(standard_errors_format(), io::Items().reals({s.standard_errors.data(), static_cast<std::size_t>(nl)}));
  out.write(correlations_format());
  for (int i = 0; i < nl; ++i)
    out.write(row_format(), io::Items().reals({&s.correlations[at6(0, i)], static_cast<std::size_t>(i + 1)}));
  out.write(with_globals_format());
  for (int i = 0; i < nl; ++i)
    out.write(row_format(),
              io::Items().reals({&s.with_globals[static_cast<std::size_t>(i * kG)], static_cast<std::size_t>(ng)}));
}

// Totals, globals with standard errors and correlations, and both summaries
// of the locals.
void write_totals(io::TextWriter& out, const Sizes& sizes, const ReportSummary& s, const model::Globals& globals) {
  const int ng = sizes.ng;
  static const io::Format totals(
      "(1H0,/,17H NUMBER OF PLOTS:,I4,/,24H0NUMBER OF MEASUREMENTS:,I5,/,16H0LOG-LIKELIHOOD:,G14.7,/,/,/,"
      "19H0GLOBAL PARAMETERS:,/,10G15.7)");
  out.write(totals, io::Items()
                        .i(s.plots)
                        .i(static_cast<int>(s.measurements))
                        .r(s.log_likelihood)
                        .reals({globals.data(), static_cast<std::size_t>(ng)}));
  out.write(standard_errors_format(),
            io::Items().reals({s.global_standard_errors.data(), static_cast<std::size_t>(ng)}));
  out.write(correlations_format());
  for (int i = 0; i < ng; ++i)
    out.write(row_format(), io::Items().reals({&s.global_correlations[at10(0, i)], static_cast<std::size_t>(i + 1)}));

  static const io::Format averages("(1H0,/,39H0LOCAL PARAMETERS (WEIGHTED AVERAGES): ,/,6G15.7)");
  static const io::Format abs_averages("(1H0,/,53H0ABS. VALUE OF LOCAL PARAMETERS (WEIGHTED AVERAGES): ,/,6G15.7)");
  write_local_summary(out, sizes, averages, s.averages);
  write_local_summary(out, sizes, abs_averages, s.absolute);
}

// The sums over plots behind the summaries of the locals, with weights
// w = n (the plot's number of measurements) and s(x) = n when x >= 0, else -n:
// SP = sum w p, SA = sum w |p|, M1 = sum w K, M2 = sum s(p_i p_j) K,
// M3 = sum w W, M4 = sum s(p_i) W.
struct LocalSums {
  std::array<double, kL> sp{}, sa{};
  LocalsByLocals m1{}, m2{};
  LocalsByGlobals m3{}, m4{};

  void add(const Sizes& sizes, int n, const model::Locals& locals, const std::span<const double> w_block,
           const LocalsByLocals& k_block) {
    const int nl = sizes.nl;
    const auto W = [&w_block, nl](int i, int k) { return w_block[static_cast<std::size_t>(i + nl * k)]; };
    const double weight = n;
    auto signed_weight = [weight](double x) { return x >= 0.0 ? weight : -weight; };
    for (int i = 0; i < nl; ++i) {
      const double p_i = locals[static_cast<std::size_t>(i)];
      sp[static_cast<std::size_t>(i)] += weight * p_i;
      sa[static_cast<std::size_t>(i)] += weight * std::fabs(p_i);
      for (int k = 0; k < sizes.ng; ++k) {
        m3[at6(i, k)] += weight * W(i, k);
        m4[at6(i, k)] += signed_weight(p_i) * W(i, k);
      }
      for (int j = 0; j <= i; ++j) {
        m1[at6(i, j)] += weight * k_block[at6(i, j)];
        m2[at6(i, j)] += signed_weight(p_i * locals[static_cast<std::size_t>(j)]) * k_block[at6(i, j)];
      }
    }
  }
};

// A plot's block of the inverse Hessian for its locals, K = C^-1 + W V W^T
// (lower triangle), after W = C^-1 B has replaced the forward-solved cross
// block in `work`.
LocalsByLocals plot_inverse(const Sizes& sizes, const InverseMatrix& v, WorkBlock& work, LocalFactor& lfactor) {
  const int ng = sizes.ng, nl = sizes.nl;
  const std::span<double> w_block(work.data() + nl, static_cast<std::size_t>(nl * ng));
  chol2(nl, sizes.nll, ng, nl * ng, lfactor, w_block);
  const auto W = [&w_block, nl](int i, int k) { return w_block[static_cast<std::size_t>(i + nl * k)]; };
  InverseMatrix c_inverse{};
  chinv(nl, sizes.nll, lfactor, c_inverse);
  LocalsByLocals k_block{};
  for (int i = 0; i < nl; ++i) {
    for (int j = 0; j <= i; ++j) {
      double s = 0.0;
      for (int k = 0; k < ng; ++k)
        for (int l = 0; l < ng; ++l) s += W(i, k) * sym(v, k, l) * W(j, l);
      k_block[at6(i, j)] = c_inverse[at10(i, j)] + s;
    }
  }
  return k_block;
}

void summarise_globals(const Sizes& sizes, const InverseMatrix& v, ReportSummary& summary) {
  for (int i = 0; i < sizes.ng; ++i) {
    summary.global_standard_errors[static_cast<std::size_t>(i)] = std::sqrt(2.0 * v[at10(i, i)]);
    for (int j = 0; j <= i; ++j) {
      const double c = v[at10(i, j)] / std::sqrt(v[at10(i, i)] * v[at10(j, j)]);
      summary.global_correlations[at10(i, j)] = c;
      summary.global_correlations[at10(j, i)] = c;
    }
  }
}

}  // namespace

ReportSummary report(const RunContext& run, io::TextWriter& out, const model::Globals& globals,
                     const GlobalFactor& hfactor, PlotRows* rows, bool fingerprints) {
  const Sizes& sizes = run.sizes;
  const int nl = sizes.nl;
  static const io::Format heading("(9H0    PLOT,5X,1HN,4X,8HFUNCTION,6X,36HLOCAL PARAMETERS AND STANDARD ERRORS)");
  static const io::Format plot_block("(1H ,I12,I4,(9G13.6,/))");
  out.write(heading);

  InverseMatrix v{};
  chinv(sizes.ng, sizes.ngg, hfactor, v);
  LocalSums sums;
  double ftot = 0.0;
  int ntot = 0;
  common::Fingerprint data_print, locals_print;
  model::Locals locals{};
  WorkBlock work{};
  LocalFactor lfactor{};
  common::Plot plot;
  for (int iplot = 1; iplot <= sizes.np; ++iplot) {
    const std::int32_t record_id = get(run.files, sizes, iplot, locals, work, lfactor);
    if (fingerprints) locals_print.add_record(record_id, nl, locals.data());
    model::Curve curve{};
    model::trpars(run.esde, globals, locals, curve);
    rdata(run.files.data, iplot, record_id, plot);
    if (fingerprints) data_print.add_plot(plot.id, plot.n, plot.ages.data(), plot.heights.data());
    const double f = model::funct(curve, plot.n, plot.ages.data(), plot.heights.data());
    ftot += f;
    ntot += plot.n;

    const LocalsByLocals k_block = plot_inverse(sizes, v, work, lfactor);
    std::array<double, kL> standard_errors{};
    for (int i = 0; i < nl; ++i) standard_errors[static_cast<std::size_t>(i)] = std::sqrt(2.0 * k_block[at6(i, i)]);
    const std::span<const double> plot_locals(locals.data(), static_cast<std::size_t>(nl));
    const std::span<const double> plot_errors(standard_errors.data(), static_cast<std::size_t>(nl));
    out.write(plot_block, io::Items().i(plot.id).i(plot.n).r(f).reals(plot_locals).reals(plot_errors));
    if (rows != nullptr) rows->row(iplot, plot.id, plot.n, f, plot_locals, plot_errors);
    sums.add(sizes, plot.n, locals, {work.data() + nl, static_cast<std::size_t>(nl * sizes.ng)}, k_block);
  }

  ReportSummary summary;
  summary.plots = sizes.np;
  summary.measurements = ntot;
  summary.objective = ftot;
  summary.log_likelihood = -ftot * 0.5;
  summary.data_fingerprint = data_print.hex();
  summary.locals_fingerprint = locals_print.hex();
  summarise_globals(sizes, v, summary);
  const double r = 1.0 / ntot;
  summary.averages = summarise_locals(sizes, sums.sp, sums.m1, sums.m3, v, r);
  summary.absolute = summarise_locals(sizes, sums.sa, sums.m2, sums.m4, v, r);
  write_totals(out, sizes, summary, globals);
  return summary;
}

}  // namespace estimator
