// Every uncertainty figure comes from the inverse of the Hessian of the total
// objective (minus twice the log-likelihood) at the estimates, so each
// variance is twice an element of that inverse. With V = S^-1 (S the reduced
// global Hessian) and, per plot, W = C^-1 B, the plot's block of the inverse
// for its locals is K = C^-1 + W V W^T, and -W V its block against the globals.
#include "estimator/report.hpp"

#include <cmath>

#include "common/fingerprint.hpp"
#include "estimator/cholesky.hpp"
#include "estimator/likelihood.hpp"
#include "estimator/models/models.hpp"
#include "estimator/plot_files.hpp"
#include "io/format.hpp"
#include "io/units.hpp"

namespace estimator {
namespace {

using Matrix6x10 = std::array<double, 6 * 10>;  // column by column, leading dimension 6
using Matrix6x6 = std::array<double, 6 * 6>;

inline std::size_t at6(int i, int j) { return static_cast<std::size_t>(i + 6 * j); }    // 0-based
inline std::size_t at10(int i, int j) { return static_cast<std::size_t>(i + 10 * j); }  // 0-based

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
LocalSummary summarise_locals(const std::array<double, 6>& sums, const Matrix6x6& m, const Matrix6x10& cross,
                              const InverseMatrix& v, double r) {
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
      out.with_globals[static_cast<std::size_t>(i * common::kMaxGlobals + j)] =
          -s / std::sqrt(m[at6(i, i)] * v[at10(j, j)] / r);
    }
  }
  return out;
}

void write_local_summary(io::TextWriter& out, const io::Format& heading, const LocalSummary& s) {
  const int nl = sizes.nl;
  const int ng = sizes.ng;
  out.write(heading, io::Items().reals({s.averages.data(), static_cast<std::size_t>(nl)}));
  out.write(standard_errors_format(), io::Items().reals({s.standard_errors.data(), static_cast<std::size_t>(nl)}));
  out.write(correlations_format());
  for (int i = 0; i < nl; ++i)
    out.write(row_format(), io::Items().reals({&s.correlations[at6(0, i)], static_cast<std::size_t>(i + 1)}));
  out.write(with_globals_format());
  for (int i = 0; i < nl; ++i)
    out.write(row_format(), io::Items().reals({&s.with_globals[static_cast<std::size_t>(i * common::kMaxGlobals)],
                                                static_cast<std::size_t>(ng)}));
}

// Totals, globals with standard errors and correlations, and both summaries
// of the locals.
void write_totals(io::TextWriter& out, const ReportSummary& s, const Globals& globals) {
  const int ng = sizes.ng;
  static const io::Format totals(
      "(1H0,/,17H NUMBER OF PLOTS:,I4,/,24H0NUMBER OF MEASUREMENTS:,I5,/,16H0LOG-LIKELIHOOD:,G14.7,/,/,/,"
      "19H0GLOBAL PARAMETERS:,/,10G15.7)");
  out.write(totals, io::Items()
                        .i(s.plots)
                        .i(static_cast<int>(s.measurements))
                        .r(s.log_likelihood)
                        .reals({globals.data(), static_cast<std::size_t>(ng)}));
  out.write(standard_errors_format(), io::Items().reals({s.global_standard_errors.data(), static_cast<std::size_t>(ng)}));
  out.write(correlations_format());
  for (int i = 0; i < ng; ++i)
    out.write(row_format(), io::Items().reals({&s.global_correlations[at10(0, i)], static_cast<std::size_t>(i + 1)}));

  static const io::Format averages("(1H0,/,39H0LOCAL PARAMETERS (WEIGHTED AVERAGES): ,/,6G15.7)");
  static const io::Format abs_averages("(1H0,/,53H0ABS. VALUE OF LOCAL PARAMETERS (WEIGHTED AVERAGES): ,/,6G15.7)");
  write_local_summary(out, averages, s.averages);
  write_local_summary(out, abs_averages, s.absolute);
}

}  // namespace

ReportSummary report(const Globals& globals, const GlobalFactor& hfactor, PlotRows* rows) {
  const int ng = sizes.ng;
  const int nl = sizes.nl;
  const int np = sizes.np;
  io::TextWriter& out = io::text_out(files.report_unit);

  std::array<double, 6> sp{}, sa{};
  Matrix6x6 m1{}, m2{};
  Matrix6x10 m3{}, m4{};
  double ftot = 0.0;
  int ntot = 0;
  common::Fingerprint data_print, locals_print;

  static const io::Format heading("(9H0    PLOT,5X,1HN,4X,8HFUNCTION,6X,36HLOCAL PARAMETERS AND STANDARD ERRORS)");
  static const io::Format plot_block("(1H ,I12,I4,(9G13.6,/))");
  out.write(heading);

  InverseMatrix v{};
  chinv(ng, sizes.ngg, hfactor, v);

  Locals locals{};
  WorkBlock work{};
  LocalFactor lfactor{};
  Curve curve{};
  InverseMatrix c_inverse{};
  Matrix6x6 k_block{};
  Measurements ages{};
  Measurements heights{};
  std::array<double, 6> standard_errors{};
  double f = 0.0;
  int id = 0;
  int n = 0;
  for (int iplot = 1; iplot <= np; ++iplot) {
    get(iplot, locals, work, lfactor);
    locals_print.add_record(esde.plot_id, nl, locals.data());
    trpars(esde, globals, locals, curve);
    rdata(iplot, id, n, ages, heights);
    data_print.add_plot(id, n, ages.data(), heights.data());
    f = funct(curve, n, ages.data(), heights.data());
    ftot += f;
    ntot += n;

    // W = C^-1 B in place of the forward-solved cross block.
    const std::span<double> w_block(work.data() + nl, static_cast<std::size_t>(nl * ng));
    chol2(nl, sizes.nll, ng, nl * ng, lfactor, w_block);
    auto W = [&w_block, nl](int i, int k) { return w_block[static_cast<std::size_t>(i + nl * k)]; };

    chinv(nl, sizes.nll, lfactor, c_inverse);
    for (int i = 0; i < nl; ++i) {
      for (int j = 0; j <= i; ++j) {
        double s = 0.0;
        for (int k = 0; k < ng; ++k)
          for (int l = 0; l < ng; ++l) s += W(i, k) * sym(v, k, l) * W(j, l);
        k_block[at6(i, j)] = c_inverse[at10(i, j)] + s;
      }
    }

    for (int i = 0; i < nl; ++i) standard_errors[static_cast<std::size_t>(i)] = std::sqrt(2.0 * k_block[at6(i, i)]);
    const std::span<const double> plot_locals(locals.data(), static_cast<std::size_t>(nl));
    const std::span<const double> plot_errors(standard_errors.data(), static_cast<std::size_t>(nl));
    out.write(plot_block, io::Items().i(id).i(n).r(f).reals(plot_locals).reals(plot_errors));
    if (rows != nullptr) rows->row(iplot, id, n, f, plot_locals, plot_errors);

    const double weight = n;
    auto signed_weight = [weight](double x) { return x >= 0.0 ? weight : -weight; };
    for (int i = 0; i < nl; ++i) {
      const double p_i = locals[static_cast<std::size_t>(i)];
      sp[static_cast<std::size_t>(i)] += weight * p_i;
      sa[static_cast<std::size_t>(i)] += weight * std::fabs(p_i);
      for (int k = 0; k < ng; ++k) {
        m3[at6(i, k)] += weight * W(i, k);
        m4[at6(i, k)] += signed_weight(p_i) * W(i, k);
      }
      for (int j = 0; j <= i; ++j) {
        m1[at6(i, j)] += weight * k_block[at6(i, j)];
        m2[at6(i, j)] += signed_weight(p_i * locals[static_cast<std::size_t>(j)]) * k_block[at6(i, j)];
      }
    }
  }

  ReportSummary summary;
  summary.plots = np;
  summary.measurements = ntot;
  summary.objective = ftot;
  summary.log_likelihood = -ftot * 0.5;
  summary.data_fingerprint = data_print.hex();
  summary.locals_fingerprint = locals_print.hex();
  for (int i = 0; i < ng; ++i) {
    summary.global_standard_errors[static_cast<std::size_t>(i)] = std::sqrt(2.0 * v[at10(i, i)]);
    for (int j = 0; j <= i; ++j) {
      const double c = v[at10(i, j)] / std::sqrt(v[at10(i, i)] * v[at10(j, j)]);
      summary.global_correlations[at10(i, j)] = c;
      summary.global_correlations[at10(j, i)] = c;
    }
  }
  const double r = 1.0 / ntot;
  summary.averages = summarise_locals(sp, m1, m3, v, r);
  summary.absolute = summarise_locals(sa, m2, m4, v, r);
  write_totals(out, summary, globals);
  return summary;
}

}  // namespace estimator
