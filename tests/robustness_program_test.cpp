// Runs killed at any moment, identifiers anywhere in the 32-bit range, full
// plots of 99 measurements.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <random>

#include "common/limits.hpp"
#include "io/byte_order.hpp"
#include "support/fit_problem.hpp"
#include "support/plot_records.hpp"
#include "support/program.hpp"
#include "support/trace.hpp"

namespace {

std::vector<double> locals_of(const std::string& path, std::size_t plots) {
  const std::vector<unsigned char> b = read_bytes(path);
  std::vector<double> v;
  for (std::size_t p = 0; p < plots; ++p) v.push_back(record_real(b, static_cast<std::int64_t>(p) + 1, 0));
  return v;
}

// A run killed with SIGKILL at a random moment leaves a local-parameter file
// from which a new run converges to the same estimates.
TEST(Robustness, KilledRunsLeaveAUsableLocalParameterFile) {
  TempDir dir;
  const auto plots = simulate_model1(51, 3000, 10, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 2.9);
  ControlSettings s;
  s.globals = {0.2, 0.6, 0.3, 0.1};
  s.mfreq = 0;
  s.itlim = 100;
  const FitFiles f = write_fit_problem(dir, plots, s);
  const std::vector<unsigned char> start = read_bytes(f.locals);

  const auto begin = std::chrono::steady_clock::now();
  const ProgramResult reference = run_estimator(f.args());
  const double duration = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  ASSERT_EQ(reference.status, 0);
  const Trace ref = parse_trace(reference.out);
  ASSERT_EQ(split_lines(read_text(f.report)).at(2), "0CONVERGED");
  const std::vector<double> ref_locals = locals_of(f.locals, plots.size());

  std::mt19937 rng(5);
  for (int trial = 0; trial < 6; ++trial) {
    dir.write_bytes("fit.loc", start);
    const double at = std::uniform_real_distribution<double>(0.0, duration)(rng);
    run_and_kill(ESTIMATOR_PATH, f.args(), at);
    const ProgramResult again = run_estimator(f.args());
    ASSERT_EQ(again.status, 0) << "killed after " << at << " s";
    const Trace t = parse_trace(again.out);
    ASSERT_EQ(split_lines(read_text(f.report)).at(2), "0CONVERGED") << "killed after " << at << " s";
    for (std::size_t i = 0; i < 4; ++i)
      EXPECT_NEAR(t.summaries.back().globals[i], ref.summaries.back().globals[i],
                  1e-8 * std::fabs(ref.summaries.back().globals[i]))
          << "global " << i << ", killed after " << at << " s";
    const std::vector<double> l = locals_of(f.locals, plots.size());
    for (std::size_t p = 0; p < plots.size(); ++p)
      ASSERT_NEAR(l[p], ref_locals[p], 1e-7 * std::fabs(ref_locals[p])) << "plot " << p;
  }
}

// Files written "complete or not at all" replace the target of a symbolic
// link (the link stays), keep the permissions of the file they replace, and
// leave no temporary file behind when the run is interrupted.
TEST(Robustness, ReplacedFilesFollowLinksKeepPermissionsAndVanishOnInterrupt) {
  namespace fs = std::filesystem;
  TempDir dir;
  ControlSettings s;
  s.globals = {0.2, 0.6, 0.3, 0.1};
  s.mfreq = 0;
  const FitFiles f = write_fit_problem(dir, simulate_model1(52, 20, 8, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 2.9), s);
  dir.write("real.rep", "old report\n");
  fs::permissions(dir / "real.rep", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::remove(f.report);
  fs::create_symlink("real.rep", f.report);
  ASSERT_EQ(run_estimator(f.args()).status, 0);
  EXPECT_TRUE(fs::is_symlink(f.report));
  EXPECT_EQ(read_text(dir / "real.rep").substr(0, 9), " TEST RUN");
  EXPECT_EQ(fs::status(dir / "real.rep").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  // Large enough that no run ends within the 0.05 s before the signal.
  const FitFiles big =
      write_fit_problem(dir, simulate_model1(53, 30000, 10, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 2.9), s, "big");
  for (const int signal_number : {SIGTERM, SIGINT}) {
    std::vector<std::string> args = big.args();
    args.insert(args.end(), {"--json", dir / "big.json"});
    EXPECT_EQ(run_and_kill(ESTIMATOR_PATH, args, 0.05, signal_number), 128 + signal_number);
    for (const auto& entry : fs::directory_iterator(dir / ""))
      EXPECT_EQ(entry.path().string().find(".partial-"), std::string::npos) << entry.path() << " left behind";
    EXPECT_FALSE(fs::exists(big.report));
  }
}

TEST(Robustness, IdentifiersAnywhereInTheThirtyTwoBitRangeAndFullPlots) {
  TempDir dir;
  auto plots = simulate_model1(52, 40, 99, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 2.9);
  std::string raw;
  const int ids[] = {INT_MIN, INT_MAX, 0, -1};
  for (std::size_t p = 0; p < plots.size(); ++p) {
    const int id = ids[p % 4] + (p < 4 ? 0 : static_cast<int>(p) * (p % 2 ? -1 : 1));
    for (std::size_t i = 0; i < plots[p].ages.size(); ++i)
      raw += std::to_string(id) + " " + std::to_string(plots[p].ages[i]) + " " + std::to_string(plots[p].heights[i]) +
             "\n";
  }
  const std::string raw_path = dir.write("raw.txt", raw);
  const ProgramResult prep = run_preparer({raw_path, dir / "p.dat", dir / "p.loc"}, "1 99 1 1 0 0 0\n0\n2.9\n");
  ASSERT_EQ(prep.status, 0) << prep.err;
  EXPECT_EQ(split_lines(prep.out).back(), " Using       40 plots");
  ControlSettings s;
  s.globals = {0.15, 0.7, 0.2, 0.05};
  s.mfreq = 1;
  s.itlim = 30;
  dir.write("p.ctl", control_text(s, 40));
  const ProgramResult r = run_estimator({dir / "p.ctl", dir / "p.dat", dir / "p.loc", dir / "p.rep"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> report = split_lines(read_text(dir / "p.rep"));
  EXPECT_EQ(report.at(2), "0CONVERGED");
  EXPECT_EQ(report.at(4).substr(0, 17), "  -2147483648  99");
  EXPECT_EQ(report.at(5).substr(0, 17), "   2147483647  99");
  EXPECT_NE(r.out.find("  -2147483648  99"), std::string::npos);
}

}  // namespace
