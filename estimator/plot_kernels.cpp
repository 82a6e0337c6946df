#include "estimator/plot_kernels.hpp"

#include <cmath>

#include "estimator/cholesky.hpp"
#include "estimator/likelihood.hpp"
#include "estimator/matrix_index.hpp"
#include "estimator/models/models.hpp"

namespace estimator {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

}  // namespace

double max_abs(double so_far, double v) {
  const double m = std::fabs(v);
  if (std::isnan(so_far) || std::isnan(m)) return NAN;
  return m > so_far ? m : so_far;
}

void trial_kernel(const Esde& esde, const Sizes& sizes, const Globals& trial_globals, double alpha, PlotSlot& s) {
  for (int j = 0; j < sizes.nl; ++j) s.trial_locals[at(j)] = s.locals[at(j)] + alpha * s.work[at(j)];
  Curve curve{};
  trpars(esde, trial_globals, s.trial_locals, curve);
  s.f = funct(curve, s.data.n, s.data.ages.data(), s.data.heights.data());
}

void derivative_kernel(const Esde& esde, const Sizes& sizes, const Globals& globals, double alpha, PlotSlot& s) {
  const int ng = sizes.ng, nl = sizes.nl;
  // The accepted trial locals, with the same arithmetic as the trial pass.
  for (int j = 0; j < nl; ++j) s.locals[at(j)] = s.locals[at(j)] + alpha * s.work[at(j)];
  Curve curve{};
  CurveGradient fgrad{};
  CurveHessian fhess{};
  trpars(esde, globals, s.locals, curve);
  ders(curve, s.data.n, s.data.ages.data(), s.data.heights.data(), fgrad, fhess);
  // g_l into work column 1, B into columns 2 .. ng+1, C into the factor's place.
  trders(esde, globals, s.locals, fgrad, fhess, {s.ggrad.data(), at(ng)}, {s.work.data(), at(nl)},
         {s.hgg.data(), at(sizes.ngg)}, {s.work.data() + nl, at(sizes.ngnl)}, {s.lfactor.data(), at(sizes.nll)});
  s.largest = 0.0;
  for (int j = 0; j < nl; ++j) s.largest = max_abs(s.largest, s.work[at(j)]);
  s.warnings = chol1(nl, sizes.nll, ng + 1, sizes.nwork, s.lfactor, s.work, s.ierr);
  const auto w = [&s, nl](int l, int c) { return s.work[column_major(l, c, nl)]; };
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
}

void step_kernel(const Sizes& sizes, const Globals& dx, PlotSlot& s) {
  const int ng = sizes.ng, nl = sizes.nl;
  for (int j = 0; j < nl; ++j) {
    double sum = 0.0;
    for (int i = 0; i < ng; ++i) sum += s.work[column_major(j, i + 1, nl)] * dx[at(i)];
    s.work[at(j)] += sum;
  }
  chol2(nl, sizes.nll, 1, nl, s.lfactor, s.work);
  s.largest = 0.0;
  for (int j = 0; j < nl; ++j) {
    s.work[at(j)] = -s.work[at(j)];
    s.largest = max_abs(s.largest, s.work[at(j)]);
  }
}

void add_to_global_system(const Sizes& sizes, const PlotSlot& s, Globals& gradient, Globals& rhs,
                          GlobalFactor& system) {
  for (int i = 0; i < sizes.ng; ++i) {
    gradient[at(i)] += s.ggrad[at(i)];
    rhs[at(i)] += s.dx_part[at(i)];
  }
  for (int p = 0; p < sizes.ngg; ++p) {
    system[at(p)] += s.hgg[at(p)];
    system[at(p)] -= s.reduced[at(p)];
  }
}

void trial_group(const Esde& esde, const Sizes& sizes, const Globals& trial_globals, double alpha,
                 std::span<PlotSlot> group) {
  for (PlotSlot& s : group) trial_kernel(esde, sizes, trial_globals, alpha, s);
}

void derivative_group(const Esde& esde, const Sizes& sizes, const Globals& globals, double alpha,
                      std::span<PlotSlot> group) {
  for (PlotSlot& s : group) derivative_kernel(esde, sizes, globals, alpha, s);
}

void step_group(const Sizes& sizes, const Globals& dx, std::span<PlotSlot> group) {
  for (PlotSlot& s : group) step_kernel(sizes, dx, s);
}

}  // namespace estimator
