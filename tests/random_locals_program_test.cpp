// estimator --random-locals: on simulated data the population deviation of
// the locals is recovered where fixed locals bias the process deviation low;
// the output does not depend on the number of threads; bad calls are refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <csignal>
#include <random>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>

#include "bench/simulation.hpp"
#include "support/fit_problem.hpp"
#include "support/plot_records.hpp"
#include "support/program.hpp"
#include "support/trace.hpp"

namespace {

namespace fs = std::filesystem;

struct Prepared {
  std::string control, data, locals;
};

// Simulated plots through the preparer, then a fixed-locals fit (its JSON in
// dir/fixed.json), whose local-parameter file starts the random-locals fit.
Prepared simulate_and_fit(const TempDir& dir, const bench::SimulationSettings& s) {
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> raw(std::fopen((dir / "raw.txt").c_str(), "w"), std::fclose);
    bench::write_raw_data(s, raw.get());
  }
  const Prepared p{dir.write("fit.ctl", bench::control_file(s)), dir / "data", dir / "locals"};
  const ProgramResult prep = run_preparer({dir / "raw.txt", p.data, p.locals}, bench::preparer_answers(s));
  EXPECT_EQ(prep.status, 0) << prep.out << prep.err;
  const ProgramResult fixed =
      run_estimator({p.control, p.data, p.locals, dir / "fixed.rep", "--json", dir / "fixed.json"});
  EXPECT_EQ(fixed.status, 0) << fixed.err;
  return p;
}

nlohmann::json read_json(const std::string& path) {
  std::ifstream in(path);
  return nlohmann::json::parse(in);
}

bench::SimulationSettings model1_settings(long long plots) {
  bench::SimulationSettings s;
  s.model = 1;
  s.globals = {0.15, 0.7, 0.2, 0.05};
  s.locals = {{3.0, 0.4}};
  s.plots = plots;
  s.measurements = 10;
  s.seed = 7;
  s.itlim = 100;
  s.tol = 1e-6;
  return s;
}

// Fixed-locals fits of a two-local model put the process deviation at 0, a
// saddle of the marginal objective (even in it). From there, on these data
// (one of 100 replications of bench/random-locals-study.sh 13), the first
// step found no lower point and the fit ended at iteration 0; it must leave
// the saddle and reach the truth's neighbourhood.
TEST(RandomLocalsProgram, AFitStartedAtTheSaddleOfAZeroDeviationLeavesIt) {
  TempDir dir;
  bench::SimulationSettings s;
  s.model = 13;
  s.globals = {0.7, 0.2, 0.05};
  s.locals = {{3.0, 0.4}, {0.25, 0.04}};
  s.plots = 5000;
  s.measurements = 10;
  s.seed = 64;
  s.itlim = 100;
  s.tol = 1e-6;
  const Prepared p = simulate_and_fit(dir, s);
  const nlohmann::json fixed = read_json(dir / "fixed.json");
  ASSERT_LT(std::fabs(fixed["globals"]["estimates"][1].get<double>()), 1e-12);  // sigma_p at the saddle
  std::vector<std::string> lines = split_lines(read_text(p.control));
  lines[4].clear();
  for (const auto& g : fixed["globals"]["estimates"]) {
    char number[32];
    std::snprintf(number, sizeof number, "%.17g ", g.get<double>());
    lines[4] += number;
  }
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  const ProgramResult r = run_estimator({dir.write("random.ctl", text), p.data, p.locals, dir / "random.rep",
                                         "--random-locals", "--json", dir / "random.json"});
  ASSERT_EQ(r.status, 0) << r.err;
  const nlohmann::json random = read_json(dir / "random.json");
  EXPECT_EQ(random["outcome"], "converged");
  EXPECT_NEAR(random["globals"]["estimates"][1].get<double>(), 0.2, 0.02);  // sigma_p
  EXPECT_NEAR(random["globals"]["estimates"][2].get<double>(), 0.05, 0.005);  // sigma_e
}

TEST(RandomLocalsProgram, RecoversTheProcessDeviationThatFixedLocalsBiasLow) {
  TempDir dir;
  const Prepared p = simulate_and_fit(dir, model1_settings(2000));
  const ProgramResult r = run_estimator(
      {p.control, p.data, p.locals, dir / "random.rep", "--random-locals", "--json", dir / "random.json"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const nlohmann::json fixed = read_json(dir / "fixed.json");
  const nlohmann::json random = read_json(dir / "random.json");
  EXPECT_EQ(random["locals"], "random");
  EXPECT_EQ(random["outcome"], "converged");
  EXPECT_EQ(random["parameters"], 6);
  const double fixed_sp = fixed["globals"]["estimates"][2].get<double>();
  const double sp = random["globals"]["estimates"][2].get<double>();
  const double se = random["globals"]["standard_errors"][2].get<double>();
  EXPECT_GT(se, 0.0);
  EXPECT_LT(se, 0.02);
  EXPECT_NEAR(sp, 0.2, 3.0 * se);
  EXPECT_LT(fixed_sp, 0.2 - 6.0 * se) << "fixed locals should be clearly low";
  // The population of the asymptotes.
  const nlohmann::json& pop = random["population"];
  EXPECT_NEAR(pop["estimates"][0].get<double>(), 3.0, 3.0 * pop["standard_errors"][0].get<double>());
  EXPECT_NEAR(pop["estimates"][1].get<double>(), 0.4, 3.0 * pop["standard_errors"][1].get<double>());
  EXPECT_NEAR(random["marginal_log_likelihood"].get<double>(), -0.5 * random["objective"].get<double>(), 1e-9);
}

// Fourteen plots of six measurements (loblolly pine): too few plots for an
// outer step built from the plots' scores alone. From the control file's
// rough start and from the fixed-locals estimates the fit reaches the same
// minimum, with a positive definite outer Hessian and finite standard errors.
// The fixed-locals sigma_p (1e-13) is written as 0, a saddle of the marginal
// objective by symmetry, which the fit has to leave.
TEST(RandomLocalsProgram, LoblollyFromARoughStartAndFromFixedLocalsReachesOneMinimum) {
  TempDir dir;
  const fs::path golden = fs::path(GOLDEN_DIR) / "loblolly-model1";
  const std::string control = (golden / "control").string();
  const ProgramResult prep = run_preparer({(golden / "raw.txt").string(), dir / "data", dir / "start.loc"},
                                          read_text((golden / "answers").string()));
  ASSERT_EQ(prep.status, 0) << prep.err;
  fs::copy_file(dir / "start.loc", dir / "rough.loc");
  const ProgramResult rough = run_estimator(
      {control, dir / "data", dir / "rough.loc", dir / "rough.rep", "--random-locals", "--json", dir / "rough.json"});
  ASSERT_EQ(rough.status, 0) << rough.out << rough.err;

  // The second start: the fixed-locals fit's globals and locals.
  fs::copy_file(dir / "start.loc", dir / "fixed.loc");
  ASSERT_EQ(run_estimator({control, dir / "data", dir / "fixed.loc", dir / "fixed.rep", "--json", dir / "fixed.json"})
                .status,
            0);
  const nlohmann::json fixed = read_json(dir / "fixed.json");
  std::vector<std::string> lines = split_lines(read_text(control));
  std::string globals;
  for (const auto& g : fixed["globals"]["estimates"]) globals += std::to_string(g.get<double>()) + " ";
  ASSERT_NE(globals.find(" 0.000000 "), std::string::npos) << globals;  // sigma_p at the saddle
  lines[4] = globals;
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  const ProgramResult again = run_estimator({dir.write("fixed.ctl", text), dir / "data", dir / "fixed.loc",
                                             dir / "again.rep", "--random-locals", "--json", dir / "again.json"});
  ASSERT_EQ(again.status, 0) << again.out << again.err;

  const nlohmann::json a = read_json(dir / "rough.json"), b = read_json(dir / "again.json");
  for (const nlohmann::json* j : {&a, &b}) {
    EXPECT_EQ((*j)["outcome"], "converged");
    EXPECT_TRUE((*j)["hessian_positive_definite"].get<bool>());
    EXPECT_LT((*j)["dmax"].get<double>(), 1e-5);
  }
  EXPECT_LE(a["iterations"].get<int>(), 20);
  EXPECT_NEAR(a["objective"].get<double>(), b["objective"].get<double>(), 1e-7);
  for (std::size_t i = 0; i < 6; ++i) {
    const double x = a["outer"]["estimates"][i], y = b["outer"]["estimates"][i];
    const double se = a["outer"]["standard_errors"][i];
    EXPECT_TRUE(std::isfinite(se) && se > 0.0) << "outer parameter " << i;
    EXPECT_NEAR(x, y, 2e-5) << "outer parameter " << i;  // the control file's tolerance 1e-5
  }
}

TEST(RandomLocalsProgram, SameBytesForOneAndThreeThreads) {
  TempDir dir;
  bench::SimulationSettings s;
  s.model = 13;
  s.globals = {0.7, 0.2, 0.05};
  s.locals = {{3.0, 0.4}, {0.15, 0.02}};
  s.plots = 700;  // more than two blocks of the pipeline
  s.measurements = 8;
  s.seed = 3;
  s.itlim = 30;
  s.tol = 1e-6;
  const Prepared p = simulate_and_fit(dir, s);
  std::string bytes[2][4];
  for (int t = 0; t < 2; ++t) {
    const std::string tag = t == 0 ? "1" : "3";
    const std::string locals = dir / ("locals" + tag);
    fs::copy_file(p.locals, locals);
    const ProgramResult r = run_estimator({p.control, p.data, locals, dir / ("rep" + tag), "--random-locals",
                                           "--quadrature", "3", "--plots", dir / ("csv" + tag), "--threads", tag});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    bytes[t][0] = r.out;
    bytes[t][1] = read_text(dir / ("rep" + tag));
    bytes[t][2] = read_text(dir / ("csv" + tag));
    bytes[t][3] = read_text(locals);
  }
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(bytes[0][k] == bytes[1][k]) << "output " << k << " differs";
  EXPECT_NE(bytes[0][1].find("ADAPTIVE GAUSS-HERMITE QUADRATURE, 3 NODES PER LOCAL"), std::string::npos);
}

std::vector<double> outer_estimates(const std::string& json) {
  return read_json(json)["outer"]["estimates"].get<std::vector<double>>();
}

// A run stopped by SIGINT, or killed by SIGKILL at a random moment, leaves a
// local-parameter file (the modes of some pass, partly rewritten when the
// kill came within one) from which the same call reaches the same estimates
// and the same conditional modes.
TEST(RandomLocalsProgram, InterruptedAndKilledRunsStartAgainFromTheirLocals) {
  TempDir dir;
  const Prepared p = simulate_and_fit(dir, model1_settings(3000));
  const std::vector<unsigned char> start = read_bytes(p.locals);
  const std::vector<std::string> args = {p.control,        p.data,   p.locals, dir / "random.rep",
                                         "--random-locals", "--json", dir / "random.json"};
  const auto begin = std::chrono::steady_clock::now();
  const ProgramResult reference = run_estimator(args);
  const double duration = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  ASSERT_EQ(reference.status, 0) << reference.err;
  const std::vector<double> ref = outer_estimates(dir / "random.json");
  const std::vector<double> ref_se = read_json(dir / "random.json")["outer"]["standard_errors"];
  const std::vector<unsigned char> ref_modes = read_bytes(p.locals);

  std::mt19937 rng(11);
  int killed = 0;
  for (int trial = 0; trial < 4; ++trial) {
    const int signal_number = trial == 0 ? SIGINT : SIGKILL;
    // Within the first half, so that a busy machine seldom lets the run end first.
    const double at = std::uniform_real_distribution<double>(0.05, 0.5)(rng) * duration;
    SCOPED_TRACE("signal " + std::to_string(signal_number) + " after " + std::to_string(at) + " s");
    dir.write_bytes("locals", start);
    fs::remove(dir / "random.json");
    const int status = run_and_kill(ESTIMATOR_PATH, args, at, signal_number);
    ASSERT_TRUE(status == 0 || status == 128 + signal_number) << status;
    if (status != 0) {
      ++killed;
      ASSERT_FALSE(fs::exists(dir / "random.json"));
    }
    const ProgramResult again = run_estimator(args);
    ASSERT_EQ(again.status, 0) << again.err;
    const std::vector<double> got = outer_estimates(dir / "random.json");
    for (std::size_t i = 0; i < ref.size(); ++i) EXPECT_NEAR(got[i], ref[i], 1e-3 * ref_se[i]) << "outer " << i;
    const std::vector<unsigned char> modes = read_bytes(p.locals);
    for (std::int64_t r = 1; r <= record_count(ref_modes); ++r)
      ASSERT_NEAR(record_real(modes, r, 0), record_real(ref_modes, r, 0), 1e-5) << "record " << r;
  }
  EXPECT_GE(killed, 2) << "the runs ended before the signals: too few plots for this machine";
}

TEST(RandomLocalsProgram, APlotWithoutAModeIsNamedAndTheLocalsStayUsable) {
  TempDir dir;
  std::vector<TestPlot> plots;
  for (int group = 0; group < 6; ++group) {  // rates spread about 0.15, as model 13 has them
    const double b = 0.12 + 0.012 * group;
    for (TestPlot& p : simulate_model1(21 + group, 10, 10, {b, 0.7, 0.05, 0.03}, 3.0, 0.3, 3.0)) {
      p.id = 1000 + static_cast<int>(plots.size());
      const double side = plots.size() % 2 == 0 ? 1.0 : -1.0;
      p.locals = {3.0 + side * 3000.0, 0.15 + side * 150.0};  // far out: searches start from the mean
      plots.push_back(p);
    }
  }
  plots.push_back({90017, {5.0}, {2.0}, {3.0, 0.15}});
  ControlSettings s;
  s.ng = 3;
  s.nl = 2;
  s.model = 13;
  s.globals = {0.7, 0.05, 0.03};
  s.mfreq = 0;
  const FitFiles f = write_fit_problem(dir, plots, s);
  std::vector<std::string> args = f.args();
  args.insert(args.end(), {"--random-locals", "--json", dir / "r.json"});
  const ProgramResult r = run_estimator(args);
  EXPECT_EQ(r.status, 1) << r.out << r.err;
  const std::string message = "estimator: random locals: the mode of the locals of plot 61 (ID 90017) cannot be found: ";
  EXPECT_EQ(r.err.substr(0, message.size()), message) << r.err;
  EXPECT_FALSE(fs::exists(f.report));
  EXPECT_FALSE(fs::exists(dir / "r.json"));

  const std::vector<unsigned char> left = read_bytes(f.locals);
  ASSERT_EQ(record_count(left), static_cast<std::int64_t>(plots.size()));
  for (std::int64_t rec = 1; rec <= record_count(left); ++rec)
    ASSERT_EQ(record_id(left, rec), plots[static_cast<std::size_t>(rec - 1)].id) << "record " << rec;
  s.np = static_cast<int>(plots.size()) - 1;
  dir.write("fit.ctl", control_text(s, s.np));
  const ProgramResult again = run_estimator(args);
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_EQ(read_json(dir / "r.json")["outcome"], "converged");
}

// Plots that share one asymptote: its deviation runs to 0, where the
// objective flattens out. The fit converges with the deviation held at its
// bound and reported as a boundary estimate, not as a failed step.
TEST(RandomLocalsProgram, ADeviationRunningToZeroIsABoundaryEstimate) {
  TempDir dir;
  std::vector<TestPlot> plots = simulate_model1(23, 150, 10, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.0, 3.0);
  for (std::size_t p = 0; p < plots.size(); ++p) plots[p].locals = {p % 2 == 0 ? 2.5 : 3.5};
  ControlSettings s;
  s.globals = {0.15, 0.7, 0.2, 0.05};
  s.mfreq = 0;
  s.itlim = 100;
  s.tol = 1e-6;
  const FitFiles f = write_fit_problem(dir, plots, s);
  std::vector<std::string> args = f.args();
  args.insert(args.end(), {"--random-locals", "--json", dir / "r.json"});
  const ProgramResult r = run_estimator(args);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const nlohmann::json j = read_json(dir / "r.json");
  EXPECT_EQ(j["outcome"], "converged");
  EXPECT_EQ(j["population"]["boundary"], nlohmann::json::parse("[true]"));
  const double mean = j["population"]["estimates"][0], sd = j["population"]["estimates"][1];
  EXPECT_NEAR(mean, 3.0, 0.1);
  EXPECT_LE(sd, 1e-4 * mean * (1.0 + 1e-3));
  EXPECT_LE(j["iterations"].get<int>(), 20);
}

// Model 13 where the plots' rates are nearly one (loblolly) or exactly one
// (simulated from model 1, whose rate is a global): the population of the two
// locals degenerates onto a line, its correlation running to +-1 while the
// objective flattens out. The fit converges with the correlation held at its
// bound and reported as a boundary estimate, not as a failed step.
TEST(RandomLocalsProgram, ACorrelationRunningToOneIsABoundaryEstimate) {
  TempDir dir;
  const fs::path golden = fs::path(GOLDEN_DIR) / "loblolly-model1";
  ASSERT_EQ(run_preparer({(golden / "raw.txt").string(), dir / "lob.dat", dir / "lob.loc"},
                         read_text((golden / "answers").string()))
                .status,
            0);
  bench::SimulationSettings s = model1_settings(120);
  s.seed = 11;
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> raw(std::fopen((dir / "raw.txt").c_str(), "w"), std::fclose);
    bench::write_raw_data(s, raw.get());
  }
  ASSERT_EQ(run_preparer({dir / "raw.txt", dir / "sim.dat", dir / "sim.loc"}, bench::preparer_answers(s)).status, 0);
  for (const std::string name : {"lob", "sim"}) {
    SCOPED_TRACE(name);
    const std::string data = dir / (name + ".dat"), locals = dir / (name + ".loc"), control = dir / (name + ".ctl");
    ASSERT_EQ(run_program(STARTER_PATH, {data, locals, control, "--model", "13"}).status, 0);
    const ProgramResult r = run_estimator({control, data, locals, dir / (name + ".rep"), "--random-locals", "--json",
                                           dir / (name + ".json")});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const nlohmann::json j = read_json(dir / (name + ".json"));
    EXPECT_EQ(j["outcome"], "converged");
    EXPECT_TRUE(j["population"]["correlation_boundary"].get<bool>());
    EXPECT_NEAR(std::fabs(j["population"]["estimates"][4].get<double>()), 0.9999, 1e-6);
    EXPECT_LT(j["dmax"].get<double>(), 1e-5);
    EXPECT_NE(read_text(dir / (name + ".rep")).find("0CORRELATION AT ITS BOUND (+-0.9999): A BOUNDARY ESTIMATE"),
              std::string::npos);
  }
}

TEST(RandomLocalsProgram, RefusesQuadratureOutsideItsRange) {
  TempDir dir;
  ControlSettings s;
  s.globals = {0.15, 0.7, 0.05, 0.03};
  const FitFiles f = write_fit_problem(dir, simulate_model1(1, 6, 6, s.globals, 3.0, 0.3, 2.8), s);
  struct Case {
    std::vector<std::string> extra;
    std::string message;
  } cases[] = {
      {{"--random-locals", "--quadrature", "0"},
       "estimator: --quadrature must be a number of nodes per local from 1 to 20, not \"0\""},
      {{"--random-locals", "--quadrature", "21"},
       "estimator: --quadrature must be a number of nodes per local from 1 to 20, not \"21\""},
      {{"--quadrature", "5"}, "estimator: --quadrature is an option of --random-locals"},
  };
  const std::string before = read_text(f.locals);
  for (const Case& c : cases) {
    std::vector<std::string> args = f.args();
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ProgramResult r = run_estimator(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, c.message.size()), c.message) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_text(f.locals), before);
    EXPECT_FALSE(fs::exists(f.report));
  }
}

}  // namespace
