#include "estimator/plot_kernels.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "estimator/cholesky.hpp"
#include "estimator/matrix_index.hpp"
#include "model/models.hpp"

namespace estimator {
namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// The curve parameters of each plot of a group (from the globals and the
// plots' `locals` or `trial_locals`), and the group as the likelihood kernels
// take it.
class GroupCurves {
 public:
  GroupCurves(const model::Esde& esde, const model::Globals& globals, std::span<const PlotSlot> group,
              model::Locals PlotSlot::*locals)
      : count_(group.size()) {
    for (std::size_t j = 0; j < count_; ++j) {
      const PlotSlot& s = group[j];
      model::trpars(esde, globals, s.*locals, curves_[j]);
      plots_[j] = {&curves_[j], s.data.n, s.data.ages.data(), s.data.heights.data()};
    }
  }
  GroupCurves(const GroupCurves&) = delete;
  GroupCurves& operator=(const GroupCurves&) = delete;
  std::span<const model::KernelPlot> plots() const { return {plots_.data(), count_}; }

 private:
  std::size_t count_;
  std::array<model::Curve, kGroupPlots> curves_{};
  std::array<model::KernelPlot, kGroupPlots> plots_{};
};

// Calls f on the group in parts of at most kGroupPlots plots.
template <class F>
void in_parts(std::span<PlotSlot> group, F f) {
  for (std::size_t first = 0; first < group.size(); first += kGroupPlots)
    f(group.subspan(first, std::min<std::size_t>(kGroupPlots, group.size() - first)));
}

// From the curve derivatives of a plot: g_l into work column 1, B into
// columns 2 .. ng+1 and C into the factor's place (trders); C factored and
// eliminated; the plot's share of the reduced global system.
void eliminate_locals(const model::Esde& esde, const Sizes& sizes, const model::Globals& globals,
                      const model::CurveGradient& fgrad, const model::CurveHessian& fhess, PlotSlot& s) {
  const int ng = sizes.ng, nl = sizes.nl;
  model::trders(esde, globals, s.locals, fgrad, fhess, {s.ggrad.data(), at(ng)}, {s.work.data(), at(nl)},
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

// lstep = -C^-1 (g_l + B dx).
void step_kernel(const Sizes& sizes, const model::Globals& dx, PlotSlot& s) {
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

}  // namespace

double max_abs(double so_far, double v) {
  const double m = std::fabs(v);
  if (std::isnan(so_far) || std::isnan(m)) return NAN;
  return m > so_far ? m : so_far;
}

void add_to_global_system(const Sizes& sizes, const PlotSlot& s, model::Globals& gradient, model::Globals& rhs,
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

void trial_group(const model::Esde& esde, const Sizes& sizes, const model::LikelihoodKernels& kernels,
                 const model::Globals& trial_globals, double alpha, std::span<PlotSlot> group) {
  in_parts(group, [&](std::span<PlotSlot> part) {
    for (PlotSlot& s : part)
      for (int j = 0; j < sizes.nl; ++j) s.trial_locals[at(j)] = s.locals[at(j)] + alpha * s.work[at(j)];
    const GroupCurves curves(esde, trial_globals, part, &PlotSlot::trial_locals);
    std::array<double, kGroupPlots> f{};
    kernels.funct(curves.plots(), {f.data(), part.size()});
    for (std::size_t j = 0; j < part.size(); ++j) part[j].f = f[j];
  });
}

void derivative_group(const model::Esde& esde, const Sizes& sizes, const model::LikelihoodKernels& kernels,
                      const model::Globals& globals, double alpha, std::span<PlotSlot> group) {
  in_parts(group, [&](std::span<PlotSlot> part) {
    // The accepted trial locals, with the same arithmetic as the trial pass.
    for (PlotSlot& s : part)
      for (int j = 0; j < sizes.nl; ++j) s.locals[at(j)] = s.locals[at(j)] + alpha * s.work[at(j)];
    const GroupCurves curves(esde, globals, part, &PlotSlot::locals);
    std::array<model::CurveGradient, kGroupPlots> fgrad{};
    std::array<model::CurveHessian, kGroupPlots> fhess{};
    kernels.ders(curves.plots(), {fgrad.data(), part.size()}, {fhess.data(), part.size()});
    for (std::size_t j = 0; j < part.size(); ++j) eliminate_locals(esde, sizes, globals, fgrad[j], fhess[j], part[j]);
  });
}

void step_group(const Sizes& sizes, const model::Globals& dx, std::span<PlotSlot> group) {
  for (PlotSlot& s : group) step_kernel(sizes, dx, s);
}

}  // namespace estimator
