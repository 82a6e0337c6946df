// The Newton optimiser through the estimator program: the plot lines of its
// trace, its failure message and the file it leaves, and a simulated fit.
// Its arithmetic is tested in-process (newton_test.cpp).
#include <gtest/gtest.h>

#include <cmath>

#include "common/limits.hpp"
#include "io/byte_order.hpp"
#include "support/fit_problem.hpp"
#include "support/plot_records.hpp"
#include "support/program.hpp"
#include "support/trace.hpp"

namespace {

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

TEST(NewtonProgram, MonitoringFrequency) {
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
TEST(NewtonProgram, StepLengthFallingToZeroLeavesARestartableFile) {
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
  for (std::int64_t p = 1; p <= record_count(records); ++p) {
    EXPECT_EQ(record_real(records, p, 0), record_real(start, p, 0)) << "the accepted locals of plot " << p;
    EXPECT_EQ(record_real(records, p, 1), 0.0) << "no pending step for plot " << p;
  }
  EXPECT_EQ(run_estimator(args).err, r.err) << "the rerun starts from the file";
}

// ------------------------------------------------------------ statistical check

// Each plot's asymptote is estimated on its own, so the variance components
// carry an incidental-parameter bias of order 1/n (n measurements per plot);
// with few measurements per plot the process deviation can even go to 0. The
// design keeps that bias well below the standard errors: 40 measurements on
// each of 50 plots.
TEST(NewtonProgram, SimulatedModel1FitRecoversTheTruth) {
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
