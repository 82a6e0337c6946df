// The Hessian of the total objective is block-arrow shaped: the locals of two
// plots never meet. Each plot's local block C is factored (L) and eliminated,
// the globals' step solves the reduced system S = sum(A - B^T C^-1 B), and each
// plot's local step follows by back-substitution:
//   S dx = sum B^T C^-1 g_l - sum g_x,   lstep = -C^-1 (g_l + B dx).
// Between the derivative pass and the step pass a record's work block holds
// L^-1 g_l (column 1) and L^-1 B (columns 2 .. ng+1).
#include "estimator/newton.hpp"

#include <cmath>
#include <cstdio>
#include <string>

#include "estimator/cholesky.hpp"
#include "estimator/likelihood.hpp"
#include "estimator/models/models.hpp"
#include "estimator/plot_files.hpp"
#include "io/errors.hpp"
#include "io/format.hpp"
#include "io/text_writer.hpp"

namespace estimator {
namespace {

inline constexpr double kStartObjective = 1e75;
inline constexpr double kSlack = 1e-10;

const io::Format& trial_header_format() {
  static const io::Format f("(/,9H ALPHA = ,G11.5,/,13H     PLOT   N,6X,8HFUNCTION,16X,16HLOCAL PARAMETERS)");
  return f;
}
const io::Format& plot_line_format() {
  static const io::Format f("(1H ,I12,I4,6G20.11)");
  return f;
}
const io::Format& summary_format() {
  static const io::Format f(
      "(/,1H ,6H ITER.,I3,10H   FUNCT.=,G18.11,7H   NPD=,I3,8H   NPD0=,I1,8H   DMAX=,G11.5,7H  GMAX=,G11.5,"
      "9H   ALPHA=,G11.5,/,13X,14HGLOBAL PARMS.:,10G18.11,/,/)");
  return f;
}

// Largest magnitude so far; a value that is not a number stays so.
inline double max_abs(double so_far, double v) {
  const double m = std::fabs(v);
  if (std::isnan(so_far) || std::isnan(m)) return NAN;
  return m > so_far ? m : so_far;
}

std::string number_text(double v) {
  if (std::isnan(v)) return "nan";  // the same on every machine, whatever its sign bit
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

// The first trial at the starting values failed: no step length can help.
[[noreturn]] void stop_at_start(double total, int bad_plot, int bad_id, double bad_f) {
  if (bad_plot > 0) {
    io::console().line("*** Error, the objective at the starting values is not finite: plot " +
                       std::to_string(bad_plot) + " (ID " + std::to_string(bad_id) + ") gives " + number_text(bad_f) +
                       ". Check the starting values of the globals and of that plot's locals ***");
  } else {
    io::console().line("*** Error, the objective at the starting values is " + number_text(total) +
                       ", above 1e75. Check the starting values ***");
  }
  throw io::Stop{io::kExitDetectedError};
}

[[noreturn]] void stop_no_descent() {
  io::console().line(
      "*** Error, the step length fell to 0 without lowering the objective: the Newton step is not finite ***");
  throw io::Stop{io::kExitDetectedError};
}

}  // namespace

void newton(Globals& globals, const int& mfreq, int& itlim, const double& tol, GlobalFactor& hfactor, int& npd) {
  const int ng = sizes.ng;
  const int nl = sizes.nl;
  const int np = sizes.np;
  const int ngg = sizes.ngg;
  const int nll = sizes.nll;
  const int ng1 = ng + 1;
  const int nwork = sizes.nwork;
  io::TextWriter& console = io::console();

  double fold = kStartObjective;
  double alpha = 0.0;
  int k = 0;
  Globals dx{};
  double dmax = 0.0;
  double gmax = 0.0;
  int npd0 = 0;

  Globals trial_globals{};
  Globals summed_gradient{};
  Globals ggrad{};
  GlobalFactor hgg{};
  Locals locals{};
  Locals trial_locals{};
  WorkBlock work{};
  LocalFactor lfactor{};
  Curve curve{};
  CurveGradient fgrad{};
  CurveHessian fhess{};
  double f = 0.0;
  int id = 0;
  int n = 0;
  io::Items items;

  const std::span<double> lgrad(work.data(), static_cast<std::size_t>(nl));
  const std::span<double> hlg(work.data() + nl, static_cast<std::size_t>(ng * nl));
  const std::span<double> hll(lfactor.data(), static_cast<std::size_t>(nll));
  const std::span<double> ggrad_out(ggrad.data(), static_cast<std::size_t>(ng));
  const std::span<double> hgg_out(hgg.data(), static_cast<std::size_t>(ngg));

  for (bool first = true;; first = false) {
    if (!first) {
      // Step length: a full step unless a component exceeds 0.5.
      alpha = 0.5 / dmax;
      if (1.0 < alpha || std::isnan(alpha)) alpha = 1.0;
    }

    // Trial passes, halving the step until the objective does not rise.
    double fnew = 0.0;
    for (;;) {
      fnew = 0.0;
      console.write(trial_header_format(), io::Items().r(alpha));
      for (int i = 0; i < ng; ++i) trial_globals[static_cast<std::size_t>(i)] = globals[static_cast<std::size_t>(i)] + alpha * dx[static_cast<std::size_t>(i)];
      int bad_plot = 0;
      int bad_id = 0;
      double bad_f = 0.0;
      for (int iplot = 1; iplot <= np; ++iplot) {
        get(iplot, locals, work, lfactor);
        for (int j = 0; j < nl; ++j) trial_locals[static_cast<std::size_t>(j)] = locals[static_cast<std::size_t>(j)] + alpha * work[static_cast<std::size_t>(j)];
        trpars(trial_globals, trial_locals, curve);
        funct(iplot, curve, f, id, n);
        fnew += f;
        if (bad_plot == 0 && !std::isfinite(f)) {
          bad_plot = iplot;
          bad_id = id;
          bad_f = f;
        }
        if (mfreq > 0 && iplot % mfreq == 0) {
          items = io::Items();
          items.i(id).i(n).r(f).reals({trial_locals.data(), static_cast<std::size_t>(nl)});
          console.write(plot_line_format(), items);
        }
      }
      if (fnew <= fold + kSlack) break;
      if (k == 0 && alpha == 0.0) stop_at_start(fnew, bad_plot, bad_id, bad_f);
      alpha *= 0.5;
      if (alpha == 0.0) stop_no_descent();
    }

    // Derivative pass at the accepted point.
    summed_gradient.fill(0.0);
    dx.fill(0.0);
    std::fill_n(hfactor.begin(), ngg, 0.0);
    gmax = 0.0;
    npd = 0;
    fold = fnew;
    globals = trial_globals;
    for (int iplot = 1; iplot <= np; ++iplot) {
      get(iplot, locals, work, lfactor);
      for (int j = 0; j < nl; ++j) locals[static_cast<std::size_t>(j)] = locals[static_cast<std::size_t>(j)] + alpha * work[static_cast<std::size_t>(j)];
      trpars(globals, locals, curve);
      ders(iplot, curve, fgrad, fhess);
      trders(curve, globals, locals, f, fgrad, fhess, ggrad_out, lgrad, hgg_out, hlg, hll);
      for (int j = 0; j < nl; ++j) gmax = max_abs(gmax, work[static_cast<std::size_t>(j)]);
      int ierr = 0;
      chol1(nl, nll, ng1, nwork, lfactor, work, ierr);
      npd += ierr;
      auto w = [&work, nl](int l, int c) { return work[static_cast<std::size_t>(l + nl * c)]; };  // 0-based
      for (int i = 0; i < ng; ++i) {
        summed_gradient[static_cast<std::size_t>(i)] += ggrad[static_cast<std::size_t>(i)];
        double s = 0.0;
        for (int l = 0; l < nl; ++l) s += w(l, 0) * w(l, i + 1);
        dx[static_cast<std::size_t>(i)] += s;
      }
      for (int i = 0, p = 0; i < ng; ++i) {
        for (int j = 0; j <= i; ++j, ++p) {
          double s = 0.0;
          for (int l = 0; l < nl; ++l) s += w(l, i + 1) * w(l, j + 1);
          hfactor[static_cast<std::size_t>(p)] += hgg[static_cast<std::size_t>(p)];
          hfactor[static_cast<std::size_t>(p)] -= s;
        }
      }
      put(iplot, locals, work, lfactor);
    }

    // Global step from the reduced system.
    for (int i = 0; i < ng; ++i) {
      gmax = max_abs(gmax, summed_gradient[static_cast<std::size_t>(i)]);
      dx[static_cast<std::size_t>(i)] -= summed_gradient[static_cast<std::size_t>(i)];
    }
    chol1(ng, ngg, 1, ng, hfactor, dx, npd0);
    chol2(ng, ngg, 1, ng, hfactor, dx);
    dmax = 0.0;
    for (int i = 0; i < ng; ++i) dmax = max_abs(dmax, dx[static_cast<std::size_t>(i)]);

    // Step pass: each plot's local step by back-substitution.
    for (int iplot = 1; iplot <= np; ++iplot) {
      get(iplot, locals, work, lfactor);
      for (int j = 0; j < nl; ++j) {
        double s = 0.0;
        for (int i = 0; i < ng; ++i) s += work[static_cast<std::size_t>(j + nl * (i + 1))] * dx[static_cast<std::size_t>(i)];
        work[static_cast<std::size_t>(j)] += s;
      }
      chol2(nl, nll, 1, nl, lfactor, work);
      for (int j = 0; j < nl; ++j) {
        work[static_cast<std::size_t>(j)] = -work[static_cast<std::size_t>(j)];
        dmax = max_abs(dmax, work[static_cast<std::size_t>(j)]);
      }
      put(iplot, locals, work, lfactor);
    }

    items = io::Items();
    items.i(k).r(fold).i(npd).i(npd0).r(dmax).r(gmax).r(alpha).reals({globals.data(), static_cast<std::size_t>(ng)});
    console.write(summary_format(), items);
    ++k;

    // Stop when both the step and the gradient are within the tolerance (a
    // value that is not a number counts as within), or past the limit.
    if (!(dmax > tol) && !(gmax > tol)) break;
    if (k > itlim) break;
  }
  itlim -= k;
  npd += npd0;
}

}  // namespace estimator
