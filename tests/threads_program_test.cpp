// Plots are evaluated in parallel within each pass; every sum is formed in
// plot order, so the trace, the report and the local-parameter file are the
// same to the last byte whatever the number of threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/fit_problem.hpp"
#include "support/plot_records.hpp"
#include "support/program.hpp"
#include "support/trace.hpp"

namespace {

struct Outputs {
  std::string console, report;
  std::vector<unsigned char> locals;
};

Outputs run_with_threads(const TempDir& dir, const FitFiles& f, const std::vector<unsigned char>& start, int threads) {
  dir.write_bytes("run.loc", start);
  ::setenv("ESTIMATOR_THREADS", std::to_string(threads).c_str(), 1);
  const ProgramResult r = run_estimator({f.control, f.data, dir / "run.loc", dir / "run.rep"});
  ::unsetenv("ESTIMATOR_THREADS");
  EXPECT_EQ(r.status, 0) << r.err;
  return {r.out, read_text(dir / "run.rep"), read_bytes(dir / "run.loc")};
}

TEST(Threads, ResultsAreIdenticalForAnyThreadCount) {
  TempDir dir;
  // Tiny heights and a large starting asymptote: long steps, trials that are
  // not a number, halvings and many iterations.
  const auto plots = simulate_model1(31, 1500, 6, {0.3, 0.5, 0.02, 0.02}, 0.3, 0.05, 0.8);
  ControlSettings s;
  s.globals = {0.3, 0.5, 0.02, 0.02};
  s.itlim = 40;
  s.mfreq = 37;
  const FitFiles f = write_fit_problem(dir, plots, s);
  const std::vector<unsigned char> start = read_bytes(f.locals);
  const Outputs one = run_with_threads(dir, f, start, 1);
  const Trace trace = parse_trace(one.console);
  ASSERT_GT(trace.summaries.size(), 3u);
  ASSERT_GT(trace.trials.size(), trace.summaries.size()) << "the run should include halvings";
  for (int threads : {2, 3, 7}) {
    const Outputs many = run_with_threads(dir, f, start, threads);
    EXPECT_EQ(many.console, one.console) << threads << " threads";
    EXPECT_EQ(many.report, one.report) << threads << " threads";
    EXPECT_EQ(many.locals, one.locals) << threads << " threads";
  }
}

// A failure in the middle of a block is reported after the plot lines of the
// plots before it, as a plot-by-plot pass would.
TEST(Threads, FailuresKeepTheirPlaceInTheTrace) {
  TempDir dir;
  auto plots = simulate_model1(32, 300, 5, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 2.9);
  ControlSettings s;
  s.globals = {0.15, 0.7, 0.2, 0.05};
  s.mfreq = 1;
  const FitFiles f = write_fit_problem(dir, plots, s);
  // Plot 200 of the local-parameter file says 999 where the data file says 1199.
  std::vector<unsigned char> locals = read_bytes(f.locals);
  common::encode_record_id(999, record_bytes(locals, 200));
  const std::vector<unsigned char> start = locals;
  for (int threads : {1, 2}) {
    dir.write_bytes("run.loc", start);
    ::setenv("ESTIMATOR_THREADS", std::to_string(threads).c_str(), 1);
    const ProgramResult r = run_estimator({f.control, f.data, dir / "run.loc", dir / "run.rep"});
    ::unsetenv("ESTIMATOR_THREADS");
    EXPECT_EQ(r.status, 1);
    const std::vector<std::string> lines = split_lines(r.out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back(), " *** RDATA: Bad plot ID, should not happen  ***");
    EXPECT_EQ(lines[lines.size() - 2].substr(0, 17), "         1198   5") << "plot 199 is the last one listed";
    EXPECT_EQ(read_bytes(dir / "run.loc"), start);
  }
}

}  // namespace
