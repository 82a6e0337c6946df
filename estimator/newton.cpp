// The Hessian of the total objective is block-arrow shaped: the locals of two
// plots never meet. Each plot's local block C is factored (L) and eliminated,
// the globals' step solves the reduced system S = sum(A - B^T C^-1 B), and each
// plot's local step follows by back-substitution:
//   S dx = sum B^T C^-1 g_l - sum g_x,   lstep = -C^-1 (g_l + B dx).
// Between the derivative pass and the step pass a record's work block holds
// L^-1 g_l (column 1) and L^-1 B (columns 2 .. ng+1).
//
// Each pass takes the plots in blocks: the calling thread reads a block's
// records and measurements in plot order, the worker pool evaluates the plots
// of the block, and the calling thread then adds up their contributions,
// writes the trace and rewrites the records, again in plot order. Every sum is
// therefore formed in the same order whatever the number of threads, and the
// trace, the report and the files are the same to the last bit.
#include "estimator/newton.hpp"

#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "estimator/cholesky.hpp"
#include "estimator/likelihood.hpp"
#include "estimator/models/model_table.hpp"
#include "estimator/models/models.hpp"
#include "estimator/plot_files.hpp"
#include "estimator/trace.hpp"
#include "estimator/worker_pool.hpp"
#include "io/errors.hpp"
#include "io/text_writer.hpp"

namespace estimator {
namespace {

constexpr double kStartObjective = 1e75;
constexpr double kSlack = 1e-10;
constexpr int kBlockPlots = 256;  // plots read and evaluated together

// Largest magnitude so far; a value that is not a number stays so. The result
// does not depend on the order of the values.
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

// One plot of a block: its record, its measurements and what the workers
// computed for it.
struct PlotSlot {
  Locals locals;
  WorkBlock work;
  LocalFactor lfactor;
  std::int32_t record_id;
  Measurements ages;
  Measurements heights;
  int id;
  int n;
  // Results of the workers.
  double f;
  Locals trial_locals;
  Globals ggrad;
  Globals dx_part;       // (B^T C^-1 g_l)(i)
  GlobalFactor hgg;      // A
  GlobalFactor reduced;  // (B^T C^-1 B)(i, j), packed
  double largest;        // largest |lgrad| or |lstep|
  int ierr;
  int warnings;
};

// A failure met while loading a block; it is raised when the ordered
// processing reaches its plot, so the console reads as in a plot-by-plot pass.
struct Failure {
  int at = -1;
  std::exception_ptr error;
  PlotCheck check = PlotCheck::ok;
  int iplot = 0, id = 0, n = 0;
};

// Runs one pass over every plot, a block at a time. The calling thread reads
// the blocks in plot order, the pool evaluates them, and the calling thread
// then takes each block's results in plot order. While the pool evaluates
// block k, the calling thread takes the results of block k-1 and reads block
// k+1, and then helps with what is left of block k.
class PassDriver {
 public:
  explicit PassDriver(WorkerPool& pool) : pool_(pool) {
    for (auto& set : sets_) set.resize(kBlockPlots);
  }

  // evaluate(slot) runs on any thread and must not throw; take(slot, iplot)
  // runs on the calling thread, in plot order.
  template <class Evaluate, class Take>
  void run(bool with_data, Evaluate evaluate, Take take) {
    const int np = sizes.np;
    const int blocks = (np + kBlockPlots - 1) / kBlockPlots;
    int loaded = 0;
    bool stopped = false;
    auto load_next = [&] {
      if (loaded == blocks || stopped) return;
      const int first = 1 + loaded * kBlockPlots;
      Batch& batch = batches_[static_cast<std::size_t>(loaded % 3)];
      batch.failure = Failure{};
      batch.count = load(sets_[static_cast<std::size_t>(loaded % 3)], first, std::min(kBlockPlots, np - first + 1),
                         with_data, batch.failure);
      stopped = batch.failure.at >= 0;
      ++loaded;
    };
    auto take_block = [&](int block) {
      const Batch& batch = batches_[static_cast<std::size_t>(block % 3)];
      std::vector<PlotSlot>& set = sets_[static_cast<std::size_t>(block % 3)];
      for (int b = 0; b < batch.count; ++b) take(set[static_cast<std::size_t>(b)], 1 + block * kBlockPlots + b);
      raise(batch.failure);
    };
    load_next();
    for (int block = 0; block < loaded; ++block) {
      std::vector<PlotSlot>& set = sets_[static_cast<std::size_t>(block % 3)];
      const std::function<void(int)> task = [&](int b) { evaluate(set[static_cast<std::size_t>(b)]); };
      pool_.start(batches_[static_cast<std::size_t>(block % 3)].count, task);
      try {
        if (block > 0) take_block(block - 1);
        load_next();
      } catch (...) {
        pool_.finish();
        throw;
      }
      pool_.finish();
    }
    if (loaded > 0) take_block(loaded - 1);
  }

 private:
  struct Batch {
    int count = 0;
    Failure failure;
  };

  // Reads the records (and the measurements) of plots first .. first+count-1;
  // returns how many were read before a failure.
  static int load(std::vector<PlotSlot>& set, int first, int count, bool with_data, Failure& failure) {
    for (int k = 0; k < count; ++k) {
      const int iplot = first + k;
      PlotSlot& s = set[static_cast<std::size_t>(k)];
      try {
        get(iplot, s.locals, s.work, s.lfactor);
        s.record_id = esde.plot_id;
        if (with_data) {
          const PlotCheck check = read_plot(iplot, s.id, s.n, s.ages, s.heights);
          if (check != PlotCheck::ok) {
            failure = {k, nullptr, check, iplot, s.id, s.n};
            return k;
          }
        }
      } catch (...) {
        failure = {k, std::current_exception(), PlotCheck::ok, iplot, 0, 0};
        return k;
      }
    }
    return count;
  }

  static void raise(const Failure& failure) {
    if (failure.at < 0) return;
    if (failure.error) std::rethrow_exception(failure.error);
    refuse_plot(failure.check, failure.iplot, failure.id, failure.n);
  }

  WorkerPool& pool_;
  std::array<std::vector<PlotSlot>, 3> sets_;
  std::array<Batch, 3> batches_;
};

}  // namespace

void newton(Globals& globals, const int& mfreq, int& itlim, const double& tol, GlobalFactor& hfactor, int& npd,
            IterationSummary& last, int threads) {
  const int ng = sizes.ng;
  const int nl = sizes.nl;
  const int ngg = sizes.ngg;
  const int nll = sizes.nll;
  const int ng1 = ng + 1;
  const int nwork = sizes.nwork;
  const auto at = [](int i) { return static_cast<std::size_t>(i); };
  io::TextWriter& console = io::console();
  WorkerPool pool(threads);
  PassDriver passes(pool);

  double fold = kStartObjective;
  double alpha = 0.0;
  int k = 0;
  Globals dx{};
  double dmax = 0.0;
  double gmax = 0.0;
  int npd0 = 0;
  Globals trial_globals{};
  Globals summed_gradient{};

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
      write_trial_header(console, alpha);
      for (int i = 0; i < ng; ++i) trial_globals[at(i)] = globals[at(i)] + alpha * dx[at(i)];
      int bad_plot = 0;
      int bad_id = 0;
      double bad_f = 0.0;
      passes.run(
          true,
          [&](PlotSlot& s) {
            for (int j = 0; j < nl; ++j) s.trial_locals[at(j)] = s.locals[at(j)] + alpha * s.work[at(j)];
            Curve curve{};
            trpars(esde, trial_globals, s.trial_locals, curve);
            s.f = funct(curve, s.n, s.ages.data(), s.heights.data());
          },
          [&](const PlotSlot& s, int iplot) {
            fnew += s.f;
            if (bad_plot == 0 && !std::isfinite(s.f)) {
              bad_plot = iplot;
              bad_id = s.id;
              bad_f = s.f;
            }
            if (mfreq > 0 && iplot % mfreq == 0) write_plot_line(console, s.id, s.n, s.f, {s.trial_locals.data(), at(nl)});
          });
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
    passes.run(
        true,
        [&](PlotSlot& s) {
          for (int j = 0; j < nl; ++j) s.locals[at(j)] = s.locals[at(j)] + alpha * s.work[at(j)];
          Curve curve{};
          CurveGradient fgrad{};
          CurveHessian fhess{};
          trpars(esde, globals, s.locals, curve);
          ders(curve, s.n, s.ages.data(), s.heights.data(), fgrad, fhess);
          trders(esde, globals, s.locals, fgrad, fhess, {s.ggrad.data(), at(ng)}, {s.work.data(), at(nl)},
                 {s.hgg.data(), at(ngg)}, {s.work.data() + nl, at(ng * nl)}, {s.lfactor.data(), at(nll)});
          s.largest = 0.0;
          for (int j = 0; j < nl; ++j) s.largest = max_abs(s.largest, s.work[at(j)]);
          s.warnings = 0;
          {
            DeferredWarnings deferred(s.warnings);
            chol1(nl, nll, ng1, nwork, s.lfactor, s.work, s.ierr);
          }
          auto w = [&s, nl](int l, int c) { return s.work[static_cast<std::size_t>(l + nl * c)]; };
          for (int i = 0, p = 0; i < ng; ++i) {
            double sum = 0.0;
            for (int l = 0; l < nl; ++l) sum += w(l, 0) * w(l, i + 1);
            s.dx_part[at(i)] = sum;
            for (int j = 0; j <= i; ++j, ++p) {
              double cross = 0.0;
              for (int l = 0; l < nl; ++l) cross += w(l, i + 1) * w(l, j + 1);
              s.reduced[at(p)] = cross;
            }
          }
        },
        [&](const PlotSlot& s, int iplot) {
          gmax = max_abs(gmax, s.largest);
          npd += s.ierr;
          write_warnings(s.warnings);
          for (int i = 0; i < ng; ++i) {
            summed_gradient[at(i)] += s.ggrad[at(i)];
            dx[at(i)] += s.dx_part[at(i)];
          }
          for (int p = 0; p < ngg; ++p) {
            hfactor[at(p)] += s.hgg[at(p)];
            hfactor[at(p)] -= s.reduced[at(p)];
          }
          esde.plot_id = s.record_id;
          put(iplot, s.locals, s.work, s.lfactor);
        });
    flush_records();

    // Global step from the reduced system.
    for (int i = 0; i < ng; ++i) {
      gmax = max_abs(gmax, summed_gradient[at(i)]);
      dx[at(i)] -= summed_gradient[at(i)];
    }
    chol1(ng, ngg, 1, ng, hfactor, dx, npd0);
    chol2(ng, ngg, 1, ng, hfactor, dx);
    dmax = 0.0;
    for (int i = 0; i < ng; ++i) dmax = max_abs(dmax, dx[at(i)]);

    // Step pass: each plot's local step by back-substitution.
    passes.run(
        false,
        [&](PlotSlot& s) {
          for (int j = 0; j < nl; ++j) {
            double sum = 0.0;
            for (int i = 0; i < ng; ++i) sum += s.work[at(j + nl * (i + 1))] * dx[at(i)];
            s.work[at(j)] += sum;
          }
          chol2(nl, nll, 1, nl, s.lfactor, s.work);
          s.largest = 0.0;
          for (int j = 0; j < nl; ++j) {
            s.work[at(j)] = -s.work[at(j)];
            s.largest = max_abs(s.largest, s.work[at(j)]);
          }
        },
        [&](const PlotSlot& s, int iplot) {
          dmax = max_abs(dmax, s.largest);
          esde.plot_id = s.record_id;
          put(iplot, s.locals, s.work, s.lfactor);
        });
    flush_records();

    last = {k, fold, npd, npd0, dmax, gmax, alpha};
    write_summary(console, last, {globals.data(), at(ng)});
    console.flush();
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
