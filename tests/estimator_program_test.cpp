// The estimator program: control file, limits, run header, outcome and the
// failures it reports.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "model/catalogue.hpp"
#include "support/fit_problem.hpp"
#include "support/program.hpp"
#include "support/trace.hpp"

namespace {

const std::vector<double> kTruth = {0.15, 0.7, 0.05, 0.03};

std::vector<TestPlot> small_plots() { return simulate_model1(1, 6, 6, kTruth, 3.0, 0.3, 2.8); }

ControlSettings model1(int itlim = 50) {
  ControlSettings s;
  s.globals = {0.16, 0.68, 0.06, 0.04};
  s.itlim = itlim;
  s.mfreq = 100;
  return s;
}

TEST(EstimatorProgram, RunHeaderByteForByte) {
  TempDir dir;
  ControlSettings s = model1();
  s.title = "LOBLOLLY TEST";
  s.mfreq = 5;
  s.tol = 1e-5;
  const FitFiles f = write_fit_problem(dir, small_plots(), s);
  const ProgramResult r = run_estimator(f.args());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string header = "1LOBLOLLY TEST" + std::string(67, ' ') +
                             "\n\n GLOBAL PARAMETERS: 4\n LOCAL PARAMETERS: 1\n NUMBER OF PLOTS:   6\n"
                             " MONITORING FREQUENCY:  5\n ITERATION LIMIT: 50\n TOLERANCE:  0.1E-04\n\n" +
                             std::string(20, ' ') + "MONITOR OUTPUT\n";
  EXPECT_EQ(r.out.substr(0, header.size()), header);
  const std::string report = read_text(f.report);
  const std::string start = " LOBLOLLY TEST" + std::string(67, ' ') + "\n\n0CONVERGED\n";
  EXPECT_EQ(report.substr(0, start.size()), start);
}

TEST(EstimatorProgram, LimitsOnGlobalsAndLocals) {
  TempDir dir;
  struct Case {
    int ng, nl;
    const char* message;
  } cases[] = {{11, 1, " *** Error, more than 10 globals ***\n"},
               {4, 7, " *** Error, more than 6 locals ***\n"},
               {11, 7, " *** Error, more than 10 globals ***\n"}};
  for (const Case& c : cases) {
    ControlSettings s = model1();
    s.ng = c.ng;
    s.nl = c.nl;
    s.globals.assign(static_cast<std::size_t>(c.ng), 0.5);
    dir.write("limits.ctl", control_text(s, 6));
    const ProgramResult r = run_estimator({dir / "limits.ctl", dir / "absent.dat", dir / "absent.loc", dir / "r.rep"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c.message);
    EXPECT_FALSE(std::filesystem::exists(dir / "r.rep")) << "nothing else opened";
  }
  // Ten globals and six locals pass the limits; no model takes them, so a
  // model number outside the catalogue lets the run reach its header.
  ControlSettings s = model1();
  s.ng = 10;
  s.nl = 6;
  s.globals.assign(10, 0.5);
  s.model = model::kModelCount + 1;
  std::vector<TestPlot> plots = small_plots();
  for (TestPlot& p : plots) p.locals.assign(6, 1.0);
  const FitFiles f = write_fit_problem(dir, plots, s);
  const std::vector<unsigned char> before = read_bytes(f.locals);
  const ProgramResult r = run_estimator(f.args());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(" GLOBAL PARAMETERS:10\n LOCAL PARAMETERS: 6\n"), std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.size() - 23), "  Model number error! \n");
  EXPECT_EQ(read_bytes(f.locals), before);
  EXPECT_FALSE(std::filesystem::exists(f.report));
}

TEST(EstimatorProgram, ControlValuesMayBeSpreadOverLinesAndUnitValuesDoNothing) {
  TempDir dir;
  const ControlSettings s = model1(3);
  const FitFiles f = write_fit_problem(dir, small_plots(), s, "a");
  const ProgramResult a = run_estimator(f.args());
  ASSERT_EQ(a.status, 0) << a.err;

  // The same values, one per line, with other unit values.
  write_fit_problem(dir, small_plots(), s, "b");
  dir.write("b.ctl",
            "TEST RUN\n4\n1\n6\n-7\n99\n0\n123456\n100\n3\n1e-8\n0.16\n0.68\n0.06\n0.04 1 1.0 1.0\n1 1.0 1.0 junk\n");
  const ProgramResult b = run_estimator({dir / "b.ctl", dir / "b.dat", dir / "b.loc", dir / "b.rep"});
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(read_text(f.report), read_text(dir / "b.rep"));
}

TEST(EstimatorProgram, SecondReadStartsOnANewLine) {
  TempDir dir;
  write_fit_problem(dir, small_plots(), model1(1), "a");
  // "19" after the last starting value is skipped; the next line is the model.
  dir.write("a.ctl", "TEST RUN\n4 1 6\n1 1 1 1\n100 1 1e-8\n0.16 0.68 0.06 0.04 19\n1 1.0 1.0\n");
  const ProgramResult r = run_estimator({dir / "a.ctl", dir / "a.dat", dir / "a.loc", dir / "a.rep"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("Model number error"), std::string::npos);
}

TEST(EstimatorProgram, ShortTitleIsPaddedAndLongNamesAreWhole) {
  TempDir dir;
  const std::string long_name = std::string(100, 'x');
  std::filesystem::create_directories(dir / long_name);
  const std::string prefix = long_name + "/" + long_name;
  ControlSettings s = model1(2);
  s.title = "T";
  const FitFiles f = write_fit_problem(dir, small_plots(), s, prefix);
  const ProgramResult r = run_estimator({f.control + "  ", f.data, f.locals, f.report + " "});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> report = split_lines(read_text(f.report));
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(report[0], " T" + std::string(79, ' '));
  EXPECT_EQ(report[1], "");
}

TEST(EstimatorProgram, PlotCountSmallerOrLargerThanTheFiles) {
  TempDir dir;
  ControlSettings s = model1(2);
  s.np = 4;
  const FitFiles f = write_fit_problem(dir, small_plots(), s);
  ProgramResult r = run_estimator(f.args());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(read_text(f.report).find(" NUMBER OF PLOTS:   4"), std::string::npos);

  s.np = 7;
  const FitFiles g = write_fit_problem(dir, small_plots(), s, "more");
  r = run_estimator(g.args());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("estimator: local-parameter file '" + g.locals +
                       "': record 7 was asked for, but the file holds only 6"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(g.report));
}

TEST(EstimatorProgram, FailedRunKeepsThePreviousReport) {
  TempDir dir;
  const FitFiles f = write_fit_problem(dir, small_plots(), model1(2));
  dir.write("fit.rep", "previous report\n");
  ControlSettings s = model1(2);
  s.model = 0;
  dir.write("fit.ctl", control_text(s, 6));
  const ProgramResult r = run_estimator(f.args());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(read_text(f.report), "previous report\n");
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(f.report).parent_path()))
    EXPECT_EQ(entry.path().string().find(".partial-"), std::string::npos) << "temporary left behind";
}

// Runs the estimator with its error stream on a pseudo-terminal and its
// standard output in a file; returns what the terminal showed.
std::string run_with_terminal_errors(const std::vector<std::string>& args, const std::string& out_path) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  if (pid == 0) {
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::setenv("ESTIMATOR_PROGRESS_AFTER", "0", 1);
    std::vector<char*> argv{const_cast<char*>(ESTIMATOR_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(ESTIMATOR_PATH, argv.data());
    ::_exit(127);
  }
  std::string shown;
  char buf[4096];
  for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) shown.append(buf, static_cast<std::size_t>(n));
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
  return shown;
}

TEST(EstimatorProgram, ProgressOnATerminalLeavesTheTraceUnchanged) {
  TempDir dir;
  const FitFiles f = write_fit_problem(dir, small_plots(), model1());
  const ProgramResult plain = run_estimator(f.args());
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.err, "") << "no progress line when the error stream is not a terminal";
  const FitFiles g = write_fit_problem(dir, small_plots(), model1(), "again");
  const std::string shown = run_with_terminal_errors(g.args(), dir / "trace");
  EXPECT_EQ(read_text(dir / "trace"), plain.out);
  EXPECT_NE(shown.find("estimator: iteration 0, trial pass"), std::string::npos) << shown;
  EXPECT_NE(shown.find("derivative pass"), std::string::npos) << shown;
  EXPECT_EQ(shown.substr(shown.size() - 4), "\r\033[K") << "the line is cleared at the end";
}

}  // namespace
