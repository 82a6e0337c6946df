// The Newton optimiser in-process: what it evaluates at the start, its
// stopping rule and outcomes, its step length and halvings, trials that are
// not a number, and its steps against a dense solve of the whole system. A
// recording monitor takes the trace as numbers, at full precision.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "estimator/newton.hpp"
#include "io/binary_file.hpp"
#include "io/byte_order.hpp"
#include "model/likelihood.hpp"
#include "model/models.hpp"
#include "support/fit_problem.hpp"
#include "support/plot_records.hpp"

namespace {

using estimator::NewtonOutcome;

const model::Esde kModel1{1.0, 1.0, 1};
const std::vector<double> kTruth = {0.15, 0.7, 0.05, 0.03};

struct TrialPass {
  double alpha = 0.0;
  std::vector<double> f;  // the monitored plots' objectives
};

class Recorder : public estimator::NewtonMonitor {
 public:
  void trial(double alpha) override { trials.push_back({alpha, {}}); }
  void plot(int, int, double f, std::span<const double>) override { trials.back().f.push_back(f); }
  void iteration(const estimator::IterationSummary& s, std::span<const double> g) override {
    summaries.push_back(s);
    globals.emplace_back(g.begin(), g.end());
  }
  std::vector<TrialPass> trials;
  std::vector<estimator::IterationSummary> summaries;
  std::vector<std::vector<double>> globals;
};

struct Fit {
  estimator::NewtonSummary summary;
  Recorder trace;
  FitFiles files;
};

// Writes the problem's files and runs the optimiser on them, monitoring every plot.
Fit fit(const TempDir& dir, const std::vector<TestPlot>& plots, const std::vector<double>& start, int itlim,
        const std::string& prefix = "fit", int threads = 2) {
  ControlSettings s;
  s.globals = start;
  const FitFiles files = write_fit_problem(dir, plots, s, prefix);
  io::SequentialReader data(files.data, "data file");
  io::DirectAccessFile locals = common::open_local_file(files.locals, io::DirectAccessFile::Mode::read_write_existing);
  const estimator::Files f{data, locals};
  const estimator::Sizes sizes = estimator::make_sizes(4, 1, static_cast<int>(plots.size()));
  model::Globals globals{};
  std::copy(start.begin(), start.end(), globals.begin());
  estimator::GlobalFactor hfactor{};
  Fit r{{}, {}, files};
  r.summary = estimator::newton(sizes, f, kModel1, {itlim, 1e-8, 1, threads}, globals, hfactor, r.trace);
  return r;
}

double total_objective(const std::vector<TestPlot>& plots, const model::Globals& g) {
  double total = 0.0;
  for (const TestPlot& p : plots) {
    model::Curve c{};
    model::trpars(kModel1, g, {p.locals[0]}, c);
    total += model::funct(c, static_cast<int>(p.ages.size()), p.ages.data(), p.heights.data());
  }
  return total;
}

TEST(Newton, FirstIterationEvaluatesTheStartAndTheLimitCountsTheIterationsAfterIt) {
  TempDir dir;
  const auto plots = simulate_model1(3, 5, 6, kTruth, 3.0, 0.3, 2.8);
  const Fit f = fit(dir, plots, {0.16, 0.68, 0.06, 0.04}, 0);
  ASSERT_EQ(f.trace.summaries.size(), 1u) << "iteration limit 0: exactly one iteration";
  EXPECT_EQ(f.trace.trials.front().alpha, 0.0);
  EXPECT_EQ(f.summary.iterations, 1);
  EXPECT_EQ(f.summary.outcome, NewtonOutcome::iteration_limit_exceeded);
  const double total = total_objective(plots, {0.16, 0.68, 0.06, 0.04});
  EXPECT_NEAR(f.trace.summaries[0].fold, total, 1e-12 * std::fabs(total));

  // Convergence in the iteration after the limit is still "exceeded"; one
  // more allowed iteration gives the same run, converged.
  const Fit free = fit(dir, plots, {0.16, 0.68, 0.06, 0.04}, 100, "free");
  ASSERT_EQ(free.summary.outcome, NewtonOutcome::converged);
  const int last = free.summary.iterations - 1;
  ASSERT_GT(last, 1);
  const Fit tight = fit(dir, plots, {0.16, 0.68, 0.06, 0.04}, last, "tight");
  EXPECT_EQ(tight.summary.iterations, last + 1);
  EXPECT_EQ(tight.summary.outcome, NewtonOutcome::iteration_limit_exceeded);
  const Fit enough = fit(dir, plots, {0.16, 0.68, 0.06, 0.04}, last + 1, "enough", 1);
  EXPECT_EQ(enough.summary.outcome, NewtonOutcome::converged);
  EXPECT_EQ(enough.trace.globals, free.trace.globals) << "one thread or two, the same numbers";
  EXPECT_EQ(enough.summary.last.fold, free.summary.last.fold);
}

TEST(Newton, StepLengthMovesNoComponentMoreThanHalfAndHalvesUntilTheObjectiveDoesNotRise) {
  TempDir dir;
  const auto plots = simulate_model1(5, 10, 8, kTruth, 3.0, 0.3, 1.5);  // locals far from the truth
  const Fit f = fit(dir, plots, {0.3, 0.5, 0.1, 0.1}, 100);
  ASSERT_EQ(f.summary.outcome, NewtonOutcome::converged);
  bool saw_long_step = false, saw_halving = false;
  std::size_t trial = 1;  // the trial passes after the first summary
  for (std::size_t k = 0; k + 1 < f.trace.summaries.size(); ++k) {
    const double dmax = f.trace.summaries[k].dmax;
    const double expected = dmax > 0.5 ? 0.5 / dmax : 1.0;
    saw_long_step |= dmax > 0.5;
    ASSERT_LT(trial, f.trace.trials.size());
    EXPECT_EQ(f.trace.trials[trial].alpha, expected) << "iteration " << k + 1;
    const double fold = f.trace.summaries[k].fold;
    for (; f.trace.trials[trial].alpha != f.trace.summaries[k + 1].alpha; ++trial) {
      double fnew = 0.0;
      for (double v : f.trace.trials[trial].f) fnew += v;
      EXPECT_FALSE(fnew <= fold + 1e-10) << "a trial that lowers the objective is taken";
      EXPECT_EQ(f.trace.trials[trial + 1].alpha, f.trace.trials[trial].alpha / 2);
      saw_halving = true;
    }
    ++trial;
  }
  EXPECT_TRUE(saw_long_step);
  EXPECT_TRUE(saw_halving);
}

TEST(Newton, RejectsTrialsThatAreNotANumber) {
  // Tiny heights and a large starting asymptote: the first Newton steps drive
  // some asymptotes below zero, where the objective is not a number.
  TempDir dir;
  auto plots = simulate_model1(8, 6, 6, {0.3, 0.5, 0.02, 0.02}, 0.3, 0.05, 0.8);
  const Fit f = fit(dir, plots, {0.3, 0.5, 0.02, 0.02}, 60);
  int nan_trials = 0;
  for (std::size_t i = 0; i + 1 < f.trace.trials.size(); ++i) {
    bool has_nan = false;
    for (double v : f.trace.trials[i].f) has_nan |= std::isnan(v);
    if (!has_nan) continue;
    ++nan_trials;
    EXPECT_EQ(f.trace.trials[i + 1].alpha, f.trace.trials[i].alpha / 2) << "halved";
  }
  EXPECT_GT(nan_trials, 0);
  for (const estimator::IterationSummary& s : f.trace.summaries) EXPECT_TRUE(std::isfinite(s.fold));
}

TEST(Newton, NonFiniteStartIsAnOutcomeNamingTheFirstPlotAtFault) {
  TempDir dir;
  auto plots = simulate_model1(3, 5, 6, kTruth, 3.0, 0.3, 2.8);
  plots[2].locals[0] = -1.0;  // a negative asymptote under a fractional power
  const Fit f = fit(dir, plots, {0.16, 0.68, 0.06, 0.04}, 10);
  EXPECT_EQ(f.summary.outcome, NewtonOutcome::start_not_finite);
  EXPECT_EQ(f.summary.bad.iplot, 3);
  EXPECT_EQ(f.summary.bad.id, plots[2].id);
  EXPECT_TRUE(f.trace.summaries.empty());
}

// ------------------------------------------------------------ dense check

// Gradient and Hessian of the total objective over (globals, locals of plot
// 1, locals of plot 2, ...) from the per-plot curve derivatives.
void dense_system(const std::vector<TestPlot>& plots, const model::Globals& g, std::vector<double>& grad,
                  std::vector<double>& hess, int ng) {
  const int n = ng + static_cast<int>(plots.size());
  grad.assign(static_cast<std::size_t>(n), 0.0);
  hess.assign(static_cast<std::size_t>(n * n), 0.0);
  auto H = [&](int i, int j) -> double& { return hess[static_cast<std::size_t>(i * n + j)]; };
  for (std::size_t p = 0; p < plots.size(); ++p) {
    const TestPlot& plot = plots[p];
    model::Locals l{plot.locals[0]};
    model::Curve c{};
    model::trpars(kModel1, g, l, c);
    model::CurveGradient fg{};
    model::CurveHessian fh{};
    model::ders(c, static_cast<int>(plot.ages.size()), plot.ages.data(), plot.heights.data(), fg, fh);
    std::array<double, 10> gg{}, lg{}, hgg{}, hlg{}, hll{};
    model::trders(kModel1, g, l, fg, fh, gg, lg, hgg, hlg, hll);
    const int li = ng + static_cast<int>(p);
    for (int i = 0; i < ng; ++i) grad[static_cast<std::size_t>(i)] += gg[static_cast<std::size_t>(i)];
    grad[static_cast<std::size_t>(li)] = lg[0];
    for (int i = 0; i < ng; ++i)
      for (int j = 0; j <= i; ++j) {
        H(i, j) += hgg[static_cast<std::size_t>(i * (i + 1) / 2 + j)];
        if (i != j) H(j, i) = H(i, j);
      }
    for (int i = 0; i < ng; ++i) H(li, i) = H(i, li) = hlg[static_cast<std::size_t>(i)];
    H(li, li) = hll[0];
  }
}

std::vector<double> solve(std::vector<double> a, std::vector<double> b) {
  const std::size_t n = b.size();
  for (std::size_t k = 0; k < n; ++k) {
    std::size_t pivot = k;
    for (std::size_t i = k + 1; i < n; ++i)
      if (std::fabs(a[i * n + k]) > std::fabs(a[pivot * n + k])) pivot = i;
    for (std::size_t j = 0; j < n; ++j) std::swap(a[k * n + j], a[pivot * n + j]);
    std::swap(b[k], b[pivot]);
    for (std::size_t i = k + 1; i < n; ++i) {
      const double m = a[i * n + k] / a[k * n + k];
      for (std::size_t j = k; j < n; ++j) a[i * n + j] -= m * a[k * n + j];
      b[i] -= m * b[k];
    }
  }
  std::vector<double> x(n);
  for (std::size_t i = n; i-- > 0;) {
    double s = b[i];
    for (std::size_t j = i + 1; j < n; ++j) s -= a[i * n + j] * x[j];
    x[i] = s / a[i * n + i];
  }
  return x;
}

TEST(Newton, StepsEqualTheDenseNewtonSolution) {
  // Start near the maximum, where every block is positive definite: fit
  // once, then move the estimates a little.
  TempDir dir;
  auto plots = simulate_model1(9, 5, 30, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.3, 2.95);
  const Fit first = fit(dir, plots, {0.15, 0.7, 0.2, 0.05}, 50, "first");
  ASSERT_EQ(first.summary.outcome, NewtonOutcome::converged);
  std::vector<double> start = first.trace.globals.back();
  for (double& g : start) g *= 1.01;
  const std::vector<unsigned char> fitted = read_bytes(first.files.locals);
  for (std::size_t p = 0; p < plots.size(); ++p)
    plots[p].locals[0] = record_real(fitted, static_cast<std::int64_t>(p) + 1, 0) + 0.01;
  std::vector<double> grad, hess;
  const model::Globals g0{start[0], start[1], start[2], start[3]};
  dense_system(plots, g0, grad, hess, 4);
  std::vector<double> minus_grad(grad.size());
  for (std::size_t i = 0; i < grad.size(); ++i) minus_grad[i] = -grad[i];
  const std::vector<double> step = solve(hess, minus_grad);

  // One iteration leaves each plot's local step in its record.
  const Fit one = fit(dir, plots, start, 0, "one");
  ASSERT_EQ(one.summary.npd, 0);
  const std::vector<unsigned char> records = read_bytes(one.files.locals);
  for (std::size_t p = 0; p < plots.size(); ++p) {
    const double lstep = record_real(records, static_cast<std::int64_t>(p) + 1, 1);
    EXPECT_NEAR(lstep, step[4 + p], 1e-8 * std::max(1e-3, std::fabs(step[4 + p]))) << "plot " << p;
  }
  // A full step (all components within 0.5) moves the globals by the solution.
  const Fit two = fit(dir, plots, start, 1, "two");
  ASSERT_GE(two.trace.summaries.size(), 2u);
  ASSERT_EQ(two.trace.summaries[1].alpha, 1.0);
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_NEAR(two.trace.globals[1][i], start[i] + step[i], 1e-9 * std::fabs(start[i])) << "global " << i;
}

}  // namespace
