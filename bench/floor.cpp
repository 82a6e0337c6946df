// floor: the arithmetic of one estimator iteration with every plot held in
// memory and one thread: a trial pass (trpars, funct), a derivative pass
// (trpars, ders, trders, chol1 and the reduction into the global system), the
// global factorisation and a step pass (chol2). No file is read or written
// while it is timed.
//
//   floor CONTROL DATA LOCALS [ITERATIONS]
// prints the seconds of one iteration (the mean over ITERATIONS, default 3).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/limits.hpp"
#include "estimator/cholesky.hpp"
#include "estimator/control_file.hpp"
#include "estimator/likelihood.hpp"
#include "estimator/models/models.hpp"
#include "estimator/plot_files.hpp"
#include "io/errors.hpp"
#include "io/units.hpp"

using namespace estimator;

namespace {

struct Plot {
  Locals locals;
  WorkBlock work;
  LocalFactor lfactor;
  int n;
  std::vector<double> ages, heights;
};

int body(int argc, char** argv) {
  if (argc < 4) io::fail("usage: floor CONTROL DATA LOCALS [ITERATIONS]");
  const int iterations = argc > 4 ? std::atoi(argv[4]) : 3;
  io::FreeFormReader control_in(argv[1], "control file");
  ControlFile control;
  read_title_and_sizes(control_in, control);
  read_starting_globals(control_in, control);
  read_model(control_in, control);
  sizes.ng = control.ng;
  sizes.nl = control.nl;
  sizes.np = control.np;
  derive_sizes(sizes);
  esde.model = control.model;
  esde.k1 = control.k1;
  esde.k2 = control.k2;
  io::open_sequential_in(files.data_unit, argv[2], "data file");
  io::open_direct(files.locals_unit, argv[3], "local-parameter file", common::kRecordLength,
                  io::DirectAccessFile::Mode::read_write_existing);
  std::vector<Plot> plots(static_cast<std::size_t>(sizes.np));
  for (int p = 0; p < sizes.np; ++p) {
    Plot& plot = plots[static_cast<std::size_t>(p)];
    get(p + 1, plot.locals, plot.work, plot.lfactor);
    Measurements t, h;
    int id = 0;
    rdata(p + 1, id, plot.n, t, h);
    plot.ages.assign(t.begin(), t.begin() + plot.n);
    plot.heights.assign(h.begin(), h.begin() + plot.n);
  }

  const int ng = sizes.ng, nl = sizes.nl, ngg = sizes.ngg, nll = sizes.nll, nwork = sizes.nwork;
  const Globals globals = control.globals;
  const double alpha = 1.0;
  double checksum = 0.0;
  const auto start = std::chrono::steady_clock::now();
  for (int it = 0; it < iterations; ++it) {
    double total = 0.0;
    for (Plot& plot : plots) {  // trial pass
      Locals trial{};
      for (int j = 0; j < nl; ++j) trial[static_cast<std::size_t>(j)] = plot.locals[static_cast<std::size_t>(j)] + alpha * 0.0;
      Curve curve{};
      trpars(esde, globals, trial, curve);
      total += funct(curve, plot.n, plot.ages.data(), plot.heights.data());
    }
    Globals dx{}, gradient{};
    GlobalFactor hfactor{};
    for (Plot& plot : plots) {  // derivative pass
      Curve curve{};
      CurveGradient fgrad{};
      CurveHessian fhess{};
      Globals ggrad{};
      GlobalFactor hgg{};
      trpars(esde, globals, plot.locals, curve);
      ders(curve, plot.n, plot.ages.data(), plot.heights.data(), fgrad, fhess);
      trders(esde, globals, plot.locals, fgrad, fhess, {ggrad.data(), static_cast<std::size_t>(ng)},
             {plot.work.data(), static_cast<std::size_t>(nl)}, {hgg.data(), static_cast<std::size_t>(ngg)},
             {plot.work.data() + nl, static_cast<std::size_t>(ng * nl)}, {plot.lfactor.data(), static_cast<std::size_t>(nll)});
      int ierr = 0;
      chol1(nl, nll, ng + 1, nwork, plot.lfactor, plot.work, ierr);
      auto w = [&plot, nl](int l, int c) { return plot.work[static_cast<std::size_t>(l + nl * c)]; };
      for (int i = 0, p = 0; i < ng; ++i) {
        gradient[static_cast<std::size_t>(i)] += ggrad[static_cast<std::size_t>(i)];
        double s = 0.0;
        for (int l = 0; l < nl; ++l) s += w(l, 0) * w(l, i + 1);
        dx[static_cast<std::size_t>(i)] += s;
        for (int j = 0; j <= i; ++j, ++p) {
          double c = 0.0;
          for (int l = 0; l < nl; ++l) c += w(l, i + 1) * w(l, j + 1);
          hfactor[static_cast<std::size_t>(p)] += hgg[static_cast<std::size_t>(p)];
          hfactor[static_cast<std::size_t>(p)] -= c;
        }
      }
    }
    for (int i = 0; i < ng; ++i) dx[static_cast<std::size_t>(i)] -= gradient[static_cast<std::size_t>(i)];
    int npd0 = 0;
    {
      int warnings = 0;
      DeferredWarnings quiet(warnings);
      chol1(ng, ngg, 1, ng, hfactor, dx, npd0);
    }
    chol2(ng, ngg, 1, ng, hfactor, dx);
    for (Plot& plot : plots) {  // step pass
      for (int j = 0; j < nl; ++j) {
        double s = 0.0;
        for (int i = 0; i < ng; ++i) s += plot.work[static_cast<std::size_t>(j + nl * (i + 1))] * dx[static_cast<std::size_t>(i)];
        plot.work[static_cast<std::size_t>(j)] += s;
      }
      chol2(nl, nll, 1, nl, plot.lfactor, plot.work);
      checksum += plot.work[0];
    }
    checksum += total;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.6f\n", seconds / iterations);
  std::fprintf(stderr, "checksum %g\n", checksum);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int status = io::run_program("floor", body, argc, argv);
  io::close_units();
  return status;
}
