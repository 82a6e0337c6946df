// The Newton optimiser through the estimator program: its trace, its
// stopping rule and step length, and its steps against a dense solve.
#include <gtest/gtest.h>

#include <cmath>

#include "common/limits.hpp"
#include "io/byte_order.hpp"
#include "model/likelihood.hpp"
#include "model/models.hpp"
#include "support/fit_problem.hpp"
#include "support/program.hpp"
#include "support/trace.hpp"

namespace {

const model::Esde kModel1{1.0, 1.0, 1};

const std::vector<double> kTruth = {0.15, 0.7, 0.05, 0.03};

ControlSettings model1(std::vector<double> globals, int itlim, int mfreq = 1000) {
  ControlSettings s;
  s.globals = std::move(globals);
  s.itlim = itlim;
  s.mfreq = mfreq;
  return s;
}

struct Fit {
  ProgramResult result;
  Trace trace;
  std::string report;
  FitFiles files;
};

Fit fit(const TempDir& dir, const std::vector<TestPlot>& plots, const ControlSettings& s,
        const std::string& prefix = "fit") {
  const FitFiles f = write_fit_problem(dir, plots, s, prefix);
  Fit r{run_estimator(f.args()), {}, {}, f};
  r.trace = parse_trace(r.result.out);
  r.report = read_text(f.report);
  return r;
}

std::string outcome(const Fit& f) { return split_lines(f.report).at(2); }

TEST(Newton, FirstIterationEvaluatesTheStart) {
  TempDir dir;
  const auto plots = simulate_model1(3, 5, 6, kTruth, 3.0, 0.3, 2.8);
  const Fit f = fit(dir, plots, model1({0.16, 0.68, 0.06, 0.04}, 0));
  ASSERT_EQ(f.result.status, 0) << f.result.err;
  ASSERT_EQ(f.trace.summaries.size(), 1u) << "iteration limit 0: exactly one iteration";
  EXPECT_EQ(f.trace.trials.front().alpha, 0.0);
  EXPECT_EQ(f.trace.summaries[0].iter, 0);
  EXPECT_EQ(f.trace.summaries[0].alpha, 0.0);
  double total = 0.0;
  for (const TestPlot& p : plots) {
    model::Curve c{};
    model::trpars(kModel1, {0.16, 0.68, 0.06, 0.04}, {p.locals[0]}, c);
    total += model::funct(c, static_cast<int>(p.ages.size()), p.ages.data(), p.heights.data());
  }
  EXPECT_NEAR(f.trace.summaries[0].funct, total, 1e-9 * std::fabs(total));
  EXPECT_EQ(outcome(f), "0ITERATION LIMIT EXCEEDED. IGNORE STANDARD ERRORS AND CORRELATIONS BELOW");
}

TEST(Newton, ConvergenceInTheLimitPlusOneIterationIsReportedAsExceeded) {
  TempDir dir;
  const auto plots = simulate_model1(4, 8, 6, kTruth, 3.0, 0.3, 2.9);
  const Fit free = fit(dir, plots, model1({0.16, 0.68, 0.06, 0.04}, 100), "free");
  ASSERT_EQ(outcome(free), "0CONVERGED");
  const int last = free.trace.summaries.back().iter;
  ASSERT_GT(last, 1);
  const Fit tight = fit(dir, plots, model1({0.16, 0.68, 0.06, 0.04}, last), "tight");
  EXPECT_EQ(tight.trace.summaries.back().iter, last);
  EXPECT_EQ(outcome(tight), "0ITERATION LIMIT EXCEEDED. IGNORE STANDARD ERRORS AND CORRELATIONS BELOW");
  const Fit enough = fit(dir, plots, model1({0.16, 0.68, 0.06, 0.04}, last + 1), "enough");
  EXPECT_EQ(outcome(enough), "0CONVERGED");
  const auto after_header = [](const std::string& out) { return out.substr(out.find("MONITOR OUTPUT")); };
  EXPECT_EQ(after_header(enough.result.out), after_header(free.result.out));
}

TEST(Newton, StepLengthMovesNoComponentMoreThanHalf) {
  TempDir dir;
  const auto plots = simulate_model1(5, 10, 8, kTruth, 3.0, 0.3, 1.5);  // locals far from the truth
  const Fit f = fit(dir, plots, model1({0.3, 0.5, 0.1, 0.1}, 100));
  ASSERT_EQ(outcome(f), "0CONVERGED") << f.result.out;
  bool saw_long_step = false;
  std::size_t trial = 1;  // the trial passes after the first summary
  for (std::size_t k = 0; k + 1 < f.trace.summaries.size(); ++k) {
    const double dmax = f.trace.summaries[k].dmax;
    const double expected = dmax > 0.5 ? 0.5 / dmax : 1.0;
    saw_long_step |= dmax > 0.5;
    ASSERT_LT(trial, f.trace.trials.size());
    EXPECT_NEAR(f.trace.trials[trial].alpha, expected, 1e-4 * expected) << "iteration " << k + 1;
    // Halvings repeat the trial pass with half the step.
    while (trial + 1 < f.trace.trials.size() && f.trace.summaries[k + 1].alpha < f.trace.trials[trial].alpha) {
      EXPECT_NEAR(f.trace.trials[trial + 1].alpha, f.trace.trials[trial].alpha / 2, 1e-4 * f.trace.trials[trial].alpha);
      ++trial;
    }
    ++trial;
  }
  EXPECT_TRUE(saw_long_step);
}

TEST(Newton, MonitoringFrequency) {
  TempDir dir;
  const auto plots = simulate_model1(6, 4, 5, kTruth, 3.0, 0.3, 2.9);
  const Fit every = fit(dir, plots, model1({0.16, 0.68, 0.06, 0.04}, 2, 1), "every");
  for (const TrialPass& t : every.trace.trials) ASSERT_EQ(t.plot_lines.size(), 4u);
  const std::string& line = every.trace.trials.front().plot_lines.front();
  EXPECT_EQ(line.substr(0, 17), "         1000   5");
  EXPECT_EQ(line.size(), 17u + 2u * 20u);
  // Positions that are multiples of the frequency, also of a negative one;
  // 0 asks for no plot lines.
  for (auto [mfreq, lines] :
       {std::pair{2, 2u}, std::pair{-2, 2u}, std::pair{-1, 4u}, std::pair{5, 0u}, std::pair{0, 0u}}) {
    const Fit f = fit(dir, plots, model1({0.16, 0.68, 0.06, 0.04}, 2, mfreq), "freq");
    ASSERT_EQ(f.result.status, 0);
    for (const TrialPass& t : f.trace.trials) EXPECT_EQ(t.plot_lines.size(), lines) << mfreq;
  }
}

// With a process deviation of 1e150 the first Newton step is not a number
// while the gradient is finite, and no step length lowers the objective. The
// run stops and leaves every record at its accepted locals with a zero
// pending step: a new run starts from the file (and meets the same step)
// instead of finding its starting point not finite.
TEST(Newton, StepLengthFallingToZeroLeavesARestartableFile) {
  TempDir dir;
  const std::string golden = std::string(GOLDEN_DIR) + "/model1/";
  ASSERT_EQ(run_preparer({golden + "raw.txt", dir / "d", dir / "l"}, read_text(golden + "answers")).status, 0);
  const std::vector<unsigned char> start = read_bytes(dir / "l");
  dir.write("c", "T\n4 1 20\n1 1 1 1\n0 15 1e-6\n0.109 4.86e-05 1e+150 2.3e-11\n1 1 1\n");
  const std::vector<std::string> args = {dir / "c", dir / "d", dir / "l", dir / "r"};
  const ProgramResult r = run_estimator(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the step length fell to 0 without lowering the objective: the Newton step of iteration 0 "
                       "is not finite"),
            std::string::npos)
      << r.err;
  const std::vector<unsigned char> records = read_bytes(dir / "l");
  ASSERT_EQ(records.size(), start.size());
  for (std::size_t p = 0; p < records.size() / common::kRecordLength; ++p) {
    const std::size_t at = p * common::kRecordLength;
    EXPECT_EQ(io::load_f64(&records[at + 4]), io::load_f64(&start[at + 4])) << "the accepted locals of plot " << p;
    EXPECT_EQ(io::load_f64(&records[at + 12]), 0.0) << "no pending step for plot " << p;
  }
  EXPECT_EQ(run_estimator(args).err, r.err) << "the rerun starts from the file";
}

TEST(Newton, RejectsTrialsThatAreNotANumber) {
  // Tiny heights and a large starting asymptote: the first Newton steps drive
  // some asymptotes below zero, where the objective is not a number.
  TempDir dir;
  auto plots = simulate_model1(8, 6, 6, {0.3, 0.5, 0.02, 0.02}, 0.3, 0.05, 0.8);
  const Fit f = fit(dir, plots, model1({0.3, 0.5, 0.02, 0.02}, 60, 1));
  int nan_trials = 0;
  for (std::size_t i = 0; i + 1 < f.trace.trials.size(); ++i) {
    bool has_nan = false;
    for (const std::string& l : f.trace.trials[i].plot_lines) has_nan |= l.find("nan") != std::string::npos;
    if (!has_nan) continue;
    ++nan_trials;
    EXPECT_NEAR(f.trace.trials[i + 1].alpha, f.trace.trials[i].alpha / 2, 1e-4 * f.trace.trials[i].alpha) << "halved";
  }
  EXPECT_GT(nan_trials, 0) << f.result.out;
  for (const IterationSummary& s : f.trace.summaries) EXPECT_TRUE(std::isfinite(s.funct));
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
  const Fit first = fit(dir, plots, model1({0.15, 0.7, 0.2, 0.05}, 50), "first");
  ASSERT_EQ(outcome(first), "0CONVERGED");
  std::vector<double> start = first.trace.summaries.back().globals;
  for (double& g : start) g *= 1.01;
  const std::vector<unsigned char> fitted = read_bytes(first.files.locals);
  for (std::size_t p = 0; p < plots.size(); ++p)
    plots[p].locals[0] = io::load_f64(&fitted[p * common::kRecordLength + 4]) + 0.01;
  std::vector<double> grad, hess;
  const model::Globals g0{start[0], start[1], start[2], start[3]};
  dense_system(plots, g0, grad, hess, 4);
  std::vector<double> minus_grad(grad.size());
  for (std::size_t i = 0; i < grad.size(); ++i) minus_grad[i] = -grad[i];
  const std::vector<double> step = solve(hess, minus_grad);

  // One iteration leaves each plot's local step in its record.
  const Fit one = fit(dir, plots, model1(start, 0), "one");
  ASSERT_EQ(one.trace.summaries.at(0).npd, 0);
  ASSERT_EQ(one.trace.summaries.at(0).npd0, 0);
  const std::vector<unsigned char> records = read_bytes(one.files.locals);
  for (std::size_t p = 0; p < plots.size(); ++p) {
    const double lstep = io::load_f64(&records[p * common::kRecordLength + 4 + 8]);
    EXPECT_NEAR(lstep, step[4 + p], 1e-8 * std::max(1e-3, std::fabs(step[4 + p]))) << "plot " << p;
  }
  // A full step (all components within 0.5) moves the globals by the solution.
  const Fit two = fit(dir, plots, model1(start, 1), "two");
  ASSERT_GE(two.trace.summaries.size(), 2u);
  ASSERT_EQ(two.trace.summaries[1].alpha, 1.0);
  for (int i = 0; i < 4; ++i)
    EXPECT_NEAR(two.trace.summaries[1].globals[static_cast<std::size_t>(i)],
                start[static_cast<std::size_t>(i)] + step[static_cast<std::size_t>(i)],
                1e-9 * std::fabs(start[static_cast<std::size_t>(i)]))
        << "global " << i;
}

// ------------------------------------------------------------ statistical check

// Each plot's asymptote is estimated on its own, so the variance components
// carry an incidental-parameter bias of order 1/n (n measurements per plot);
// with few measurements per plot the process deviation can even go to 0. The
// design keeps that bias well below the standard errors: 40 measurements on
// each of 50 plots.
TEST(Newton, SimulatedModel1FitRecoversTheTruth) {
  TempDir dir;
  const std::vector<double> truth = {0.15, 0.7, 0.2, 0.05};
  const auto plots = simulate_model1(2026, 50, 40, truth, 3.0, 0.4, 2.5);
  const Fit f = fit(dir, plots, model1({0.2, 0.6, 0.1, 0.05}, 100));
  ASSERT_EQ(outcome(f), "0CONVERGED") << f.result.out;
  const std::vector<std::string> lines = split_lines(f.report);
  std::vector<double> estimates, errors;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == "0GLOBAL PARAMETERS:") {
      for (int k = 0; k < 4; ++k)
        estimates.push_back(std::strtod(lines[i + 1].substr(static_cast<std::size_t>(15 * k), 15).c_str(), nullptr));
      for (int k = 0; k < 4; ++k)
        errors.push_back(std::strtod(lines[i + 3].substr(static_cast<std::size_t>(15 * k), 15).c_str(), nullptr));
      break;
    }
  }
  ASSERT_EQ(estimates.size(), 4u);
  for (int k = 0; k < 4; ++k) {
    const auto i = static_cast<std::size_t>(k);
    EXPECT_GT(errors[i], 0.0);
    EXPECT_LT(std::fabs(std::fabs(estimates[i]) - truth[i]), 3.0 * errors[i])
        << "global " << k << ": " << estimates[i] << " +- " << errors[i] << " against " << truth[i];
  }
}

}  // namespace
