// The starter as a program: every model's control file as the estimator
// reads it, self-started runs against optima found from hand-made starts, and
// the bad inputs of docs/bad-inputs.md (section "starter").
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "bench/simulation.hpp"
#include "common/limits.hpp"
#include "common/results_reader.hpp"
#include "model/model_table.hpp"
#include "support/fit_problem.hpp"
#include "support/program.hpp"

namespace {

namespace fs = std::filesystem;

ProgramResult run_starter(const std::vector<std::string>& args) { return run_program(STARTER_PATH, args); }

std::string golden(const std::string& name) { return (fs::path(GOLDEN_DIR) / name).string(); }

struct Prepared {
  std::string data, locals;
};

// The preparer on a golden raw data file with the given answers.
Prepared prepare(const TempDir& dir, const std::string& raw, const std::string& answers) {
  Prepared p{dir / "data", dir / "locals"};
  const ProgramResult r = run_preparer({raw, p.data, p.locals}, answers);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  return p;
}

common::ResultsReader estimate(const TempDir& dir, const std::string& control, const Prepared& p) {
  const ProgramResult r = run_estimator({control, p.data, p.locals, dir / "report", "--json", dir / "results.json"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  return common::ResultsReader(dir / "results.json");
}

std::string line_of(const std::string& text, int k) {
  std::istringstream in(text);
  std::string line;
  for (int i = 0; i < k; ++i) std::getline(in, line);
  return line;
}

// Every model on the loblolly data: the control file has the model's counts,
// the number of plots and the model line; the estimator takes it and
// converges; the records keep their identifiers and every byte after the
// model's locals.
TEST(StarterProgram, EveryModelsControlFileIsOneTheEstimatorRuns) {
  for (int model = 1; model <= model::kModelCount; ++model) {
    SCOPED_TRACE(model);
    TempDir dir;
    const Prepared p = prepare(dir, golden("loblolly-model1/raw.txt"), "1 3 10 10 0 0 0\n0\n0\n");
    const std::vector<unsigned char> before = read_bytes(p.locals);
    const ProgramResult r =
        run_starter({p.data, p.locals, dir / "control", "--model", std::to_string(model), "--k1", "10", "--k2", "10"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto counts = model::model_counts(model);
    const std::string control = read_text(dir / "control");
    EXPECT_EQ(line_of(control, 2), std::to_string(counts.ng) + " " + std::to_string(counts.nl) + " 14");
    const std::string model_line = std::to_string(model) + " 10 10 ";
    EXPECT_EQ(line_of(control, 6).substr(0, model_line.size()), model_line);

    const std::vector<unsigned char> after = read_bytes(p.locals);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t r0 = 0; r0 < after.size(); r0 += common::kRecordLength) {
      EXPECT_TRUE(std::equal(before.begin() + r0, before.begin() + r0 + 4, after.begin() + r0));
      const std::size_t rest = r0 + 4 + 8 * static_cast<std::size_t>(counts.nl);
      EXPECT_TRUE(std::equal(before.begin() + rest, before.begin() + r0 + common::kRecordLength, after.begin() + rest));
    }

    const common::ResultsReader results = estimate(dir, dir / "control", p);
    EXPECT_EQ(results.integer("/model/number"), model);
    EXPECT_EQ(results.integer("/plots"), 14);
    EXPECT_EQ(results.integer("/iteration_limit"), 100);
    EXPECT_EQ(results.at("/model/constants"), nlohmann::json::array({10.0, 10.0}));
    EXPECT_EQ(results.text("/outcome"), "converged");
  }
}

// The golden runs that converged from hand-made starts: the self-start
// converges to the same optimum (the report prints the log-likelihood to seven
// digits), and a second self-start writes the same bytes.
TEST(StarterProgram, ReachesTheOptimaOfHandMadeStarts) {
  for (const char* name : {"loblolly-model1", "loblolly-model18", "model1", "model4", "model9", "model14"}) {
    SCOPED_TRACE(name);
    const std::string control = read_text(golden(std::string(name) + "/control"));
    std::istringstream model_line(line_of(control, 6));
    std::string model, k1, k2;
    model_line >> model >> k1 >> k2;
    const std::string report = read_text(golden(std::string(name) + "/expected-report"));
    const std::size_t at = report.find("LOG-LIKELIHOOD:");
    ASSERT_NE(at, std::string::npos);
    const double expected = std::stod(report.substr(at + 15, 16));

    TempDir dir;
    const std::string answers = read_text(golden(std::string(name) + "/answers"));
    const Prepared p = prepare(dir, golden(std::string(name) + "/raw.txt"), answers);
    const std::vector<std::string> args = {p.data, p.locals, dir / "start", "--model", model, "--k1", k1, "--k2", k2};
    ASSERT_EQ(run_starter(args).status, 0);
    const std::string start = read_text(dir / "start");
    const std::vector<unsigned char> locals = read_bytes(p.locals);
    const Prepared again = prepare(dir, golden(std::string(name) + "/raw.txt"), answers);
    ASSERT_EQ(run_starter(args).status, 0);
    EXPECT_EQ(read_text(dir / "start"), start);
    EXPECT_EQ(read_bytes(again.locals), locals);

    const common::ResultsReader results = estimate(dir, dir / "start", p);
    EXPECT_EQ(results.text("/outcome"), "converged");
    EXPECT_NEAR(results.finite("/log_likelihood"), expected, 6e-7 * std::fabs(expected));
  }
}

// A bad input: the files it needs, written into a scratch directory, and the
// starter's arguments.
// Data simulated from each model (200 plots of 6 to 12 measurements, the
// parameters of bench/self-start-check.sh): the self-started run converges,
// in a few iterations, to the optimum that a run started at the true
// parameters reaches.
TEST(StarterProgram, ConvergesToTheOptimumOfAStartAtTheTruth) {
  struct Truth {
    int model;
    std::vector<double> globals;
    std::vector<std::pair<double, double>> locals;
  };
  const std::pair<double, double> a{3.0, 0.4}, b{0.15, 0.03};
  const Truth truths[] = {
      {1, {0.15, 0.7, 0.2, 0.05}, {a}},           {2, {0.15, 0.7, 0.2, 0.05, 0.5}, {a}},
      {3, {0.15, 0.7, 0.2, 0.05, 0.3}, {a}},      {4, {0.15, 0.7, 0.1, 0.2, 0.05}, {a}},
      {5, {0.15, 0.7, 0.1, 0.2, 0.05, 0.5}, {a}}, {6, {3.0, 0.7, 0.2, 0.05}, {b}},
      {7, {3.0, 0.7, 0.2, 0.05, 0.5}, {b}},       {8, {3.0, 0.7, 0.2, 0.05, 0.3}, {b}},
      {9, {3.0, 0.7, 0.1, 0.2, 0.05}, {b}},       {10, {3.0, 0.7, 0.1, 0.2, 0.05, 0.5}, {b}},
      {11, {2.0, 6.0, 0.7, 0.2, 0.05}, {b}},      {12, {6.0, 0.4, 0.7, 0.2, 0.05}, {b}},
      {13, {0.7, 0.2, 0.05}, {a, {0.25, 0.04}}},  {14, {0.15, 0.7, 0.2, 0.05}, {a}},
      {15, {3.0, 0.7, 0.2, 0.05}, {b}},           {16, {2.0, 6.0, 0.7, 0.2, 0.05}, {b}},
      {17, {6.0, 0.4, 0.7, 0.2, 0.05}, {b}},      {18, {0.7, 0.2, 0.05}, {a, {0.25, 0.04}}},
  };
  for (const Truth& truth : truths) {
    SCOPED_TRACE(truth.model);
    bench::SimulationSettings s;
    s.model = truth.model;
    s.globals = truth.globals;
    s.locals = truth.locals;
    s.plots = 200;
    s.measurements = 6;
    s.max_measurements = 12;
    s.seed = 11;
    s.k2 = 10.0;
    s.itlim = 100;
    s.tol = 1e-5;
    TempDir dir;
    {
      std::unique_ptr<std::FILE, int (*)(std::FILE*)> raw(std::fopen((dir / "raw.txt").c_str(), "w"), std::fclose);
      bench::write_raw_data(s, raw.get());
    }
    const Prepared p = prepare(dir, dir / "raw.txt", bench::preparer_answers(s));
    fs::copy_file(p.locals, dir / "self.loc");
    const common::ResultsReader at_truth = estimate(dir, dir.write("truth.ctl", bench::control_file(s)), p);
    const Prepared self{p.data, dir / "self.loc"};
    ASSERT_EQ(run_starter({p.data, self.locals, dir / "self.ctl", "--model", std::to_string(s.model), "--k1", "1",
                           "--k2", "10"})
                  .status,
              0);
    const common::ResultsReader self_started = estimate(dir, dir / "self.ctl", self);
    EXPECT_EQ(at_truth.text("/outcome"), "converged");
    EXPECT_EQ(self_started.text("/outcome"), "converged");
    EXPECT_LE(self_started.integer("/iterations"), 5);
    const double expected = at_truth.finite("/log_likelihood");
    EXPECT_NEAR(self_started.finite("/log_likelihood"), expected, 1e-6 * std::fabs(expected));
  }
}

// starter --random-locals fits the globals and the population of the locals
// to the sample by the marginal likelihood that estimator --random-locals
// maximises: with every plot in the sample the two optimisers (Ceres' BFGS
// here, the estimator's Newton steps there) must meet. The estimator starts
// from the starter's population (the locals spread to it), and the control
// file's tolerance is one for the outer step. On data like these (model 13,
// whose fixed-locals start puts the process deviation at 0) the fixed-locals
// tolerance the starter chose for 5000 plots, 0.12, let the estimator stop
// 78 units of deviance short of the optimum.
TEST(StarterProgram, RandomLocalsValuesAreTheSamplesMarginalOptimum) {
  TempDir dir;
  bench::SimulationSettings s;
  s.model = 13;
  s.globals = {0.7, 0.2, 0.05};
  s.locals = {{3.0, 0.4}, {0.25, 0.04}};
  s.plots = 400;
  s.measurements = 10;
  s.seed = 5;
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> raw(std::fopen((dir / "raw.txt").c_str(), "w"), std::fclose);
    bench::write_raw_data(s, raw.get());
  }
  const Prepared p{dir / "data", dir / "locals"};
  ASSERT_EQ(run_preparer({dir / "raw.txt", p.data, p.locals}, bench::preparer_answers(s)).status, 0);
  const ProgramResult st =
      run_starter({p.data, p.locals, dir / "control", "--model", "13", "--random-locals", "--sample", "400"});
  ASSERT_EQ(st.status, 0) << st.err;
  // globals from the control file, the population from the console
  std::vector<double> start;
  std::istringstream globals(line_of(read_text(dir / "control"), 5));
  for (double v; start.size() < 3 && globals >> v;) start.push_back(v);
  EXPECT_EQ(line_of(read_text(dir / "control"), 4), "0 100 1e-06");
  const std::size_t at = st.out.find("population (random locals), fitted on 400 plots");
  ASSERT_NE(at, std::string::npos) << st.out;
  for (const char* name : {"mean_a = ", "mean_b = ", "sd_a = ", "sd_b = ", "correlation = "}) {
    const std::size_t k = st.out.find(name, at);
    ASSERT_NE(k, std::string::npos) << name;
    start.push_back(std::stod(st.out.substr(k + std::strlen(name))));
  }
  const ProgramResult fit = run_estimator(
      {dir / "control", p.data, p.locals, dir / "report", "--random-locals", "--json", dir / "random.json"});
  ASSERT_EQ(fit.status, 0) << fit.err;
  // The estimator's start, iteration 0's outer parameters (ln sd and atanh of the correlation).
  const std::size_t first = fit.out.find("OUTER PARMS.:");
  ASSERT_NE(first, std::string::npos) << fit.out;
  std::istringstream outer(fit.out.substr(first + std::strlen("OUTER PARMS.:")));
  std::vector<double> phi(8);
  for (double& v : phi) outer >> v;
  const std::vector<double> expected = {start[0], start[1],           start[2],           start[3],
                                        start[4], std::log(start[5]), std::log(start[6]), std::atanh(start[7])};
  for (std::size_t j = 0; j < phi.size(); ++j) EXPECT_NEAR(phi[j], expected[j], 1e-8) << "outer parameter " << j;
  // Its optimum is the starter's.
  const common::ResultsReader results(dir / "random.json");
  EXPECT_EQ(results.text("/outcome"), "converged");
  for (int j = 0; j < 8; ++j) {
    const std::string estimate = j < 3 ? "/globals/estimates/" + std::to_string(j)
                                       : "/population/estimates/" + std::to_string(j - 3);
    const std::string se = j < 3 ? "/globals/standard_errors/" + std::to_string(j)
                                 : "/population/standard_errors/" + std::to_string(j - 3);
    EXPECT_NEAR(start[static_cast<std::size_t>(j)], results.finite(estimate), 0.01 * results.finite(se))
        << "parameter " << j;
  }
}

// A starter killed at any moment (while it fits the globals, while it writes
// the locals) and run again on the files it left writes the same control file
// and the same local-parameter file, byte for byte, as a run never stopped.
TEST(StarterProgram, AKilledRunRunAgainWritesWhatAnUninterruptedRunWrites) {
  TempDir dir;
  const auto plots = simulate_model1(23, 40000, 8, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.4, 0.0);
  const FitFiles f = write_fit_problem(dir, plots, ControlSettings{});
  const std::vector<unsigned char> start = read_bytes(f.locals);
  const std::vector<std::string> args = {f.data, f.locals, dir / "start.ctl", "--model", "1"};
  const auto begin = std::chrono::steady_clock::now();
  ASSERT_EQ(run_starter(args).status, 0);
  const double duration = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  const std::string control = read_text(dir / "start.ctl");
  const std::vector<unsigned char> locals = read_bytes(f.locals);
  for (const double share : {0.1, 0.5, 0.8, 0.95}) {
    SCOPED_TRACE(share);
    dir.write_bytes("fit.loc", start);
    fs::remove(dir / "start.ctl");
    run_and_kill(STARTER_PATH, args, share * duration);
    const ProgramResult again = run_starter(args);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(read_text(dir / "start.ctl"), control);
    EXPECT_TRUE(read_bytes(f.locals) == locals);
  }
}

struct BadCase {
  const char* row;
  std::function<std::vector<std::string>(const TempDir&)> args;
  int status;
  std::string message;  // on the error stream
};

TestPlot plot(int id, std::vector<double> ages, std::vector<double> heights, std::vector<double> locals = {0.0}) {
  return {id, std::move(ages), std::move(heights), std::move(locals)};
}

std::vector<TestPlot> good_plots() { return simulate_model1(5, 12, 6, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.3, 0.0); }

// Plot files written directly, and the starter's arguments for them.
std::vector<std::string> starter_on(const TempDir& d, const std::vector<TestPlot>& plots,
                                    const std::vector<std::string>& options) {
  const FitFiles f = write_fit_problem(d, plots, ControlSettings{});
  std::vector<std::string> args = {f.data, f.locals, d / "start"};
  args.insert(args.end(), options.begin(), options.end());
  return args;
}

// The help tells what the program does: the model constants are required
// where the starter refuses to run without them.
TEST(StarterProgram, HelpGivesTheModelConstantsAsTheyAreTaken) {
  const ProgramResult help = run_starter({"--help"});
  ASSERT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("required for models 14 to 18"), std::string::npos) << help.out;
  TempDir dir;
  EXPECT_EQ(run_starter(starter_on(dir, good_plots(), {"--model", "14"})).status, 2);
}

const std::vector<BadCase>& bad_cases() {
  static const std::vector<BadCase> all = {
      {"S1",
       [](const TempDir& d) {
         return starter_on(d, good_plots(), {"--model", std::to_string(model::kModelCount + 1)});
       },
       1,
       "starter: model number " + std::to_string(model::kModelCount + 1) + ": the models are numbered 1 to " +
           std::to_string(model::kModelCount)},
      {"S2",
       [](const TempDir& d) {
         return starter_on(d, good_plots(), {"--model", "one"});
       },
       2, "starter: --model takes a model number, 1 to " + std::to_string(model::kModelCount) + ", not \"one\""},
      {"S3", [](const TempDir& d) { return starter_on(d, good_plots(), {}); }, 2, "starter: --model is required"},
      {"S4",
       [](const TempDir& d) {
         return starter_on(d, good_plots(), {"--model", "14"});
       },
       2, "fixes the start of the curve through the two model constants: give --k1 and --k2"},
      {"S5",
       [](const TempDir& d) {
         std::vector<TestPlot> p = good_plots();
         for (TestPlot& t : p) t.locals = {3.0, 0.2};
         return starter_on(d, p, {"--model", "1"});
       },
       1, "holds more than model 1's 1 local: record 1 (ID 1000) has 0.2 in real 2"},
      {"S6",
       [](const TempDir& d) {
         std::vector<TestPlot> p = good_plots();
         p[1] = plot(77, {4.0}, {1.0});
         return starter_on(d, p, {"--model", "13"});
       },
       1, "starter: plot 2 (ID 77) has 1 measurement: model 13 estimates an asymptote and a rate for every plot"},
      {"S7",
       [](const TempDir& d) {
         return starter_on(d, {plot(1, {2.0}, {0.5}), plot(2, {4.0}, {1.0}), plot(3, {6.0, 6.0}, {1.2, 1.3})},
                           {"--model", "1"});
       },
       1, "model 1 cannot be started from these data: its 4 globals need at least 5 measurements at distinct ages"},
      {"S8",
       [](const TempDir& d) {
         std::vector<TestPlot> p = good_plots();
         p[3].heights[2] = 0.0;
         return starter_on(d, p, {"--model", "1"});
       },
       1, "starter: plot 4 (ID 1003), measurement 3: height 0; the model takes powers and logarithms of heights"},
      {"S9",
       [](const TempDir& d) {
         const FitFiles a = write_fit_problem(d, good_plots(), ControlSettings{}, "a");
         std::vector<TestPlot> other = good_plots();
         other[5].id = 5555;
         const FitFiles b = write_fit_problem(d, other, ControlSettings{}, "b");
         return std::vector<std::string>{a.data, b.locals, d / "start", "--model", "1"};
       },
       1,
       "are not from the same preparer run: plot 6 of the data file has ID 1005, record 6 of the local-parameter "
       "file has ID 5555"},
      {"S10",
       [](const TempDir& d) {
         const FitFiles a = write_fit_problem(d, good_plots(), ControlSettings{}, "a");
         std::vector<TestPlot> fewer = good_plots();
         fewer.pop_back();
         const FitFiles b = write_fit_problem(d, fewer, ControlSettings{}, "b");
         return std::vector<std::string>{a.data, b.locals, d / "start", "--model", "1"};
       },
       1, "the data file has more plots than the 11 records of the local-parameter file"},
      {"S11",
       [](const TempDir& d) {
         return std::vector<std::string>{d / "no.dat", d / "no.loc", d / "start", "--model", "1"};
       },
       2, "starter: cannot open the data file"},
      {"S12",
       [](const TempDir& d) {
         // Measured only where growth has stopped: the start deviation and
         // the rate leave no trace in the data.
         std::vector<TestPlot> p = simulate_model1(5, 60, 6, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.3, 0.0);
         for (TestPlot& t : p)
           for (double& age : t.ages) age += 30.0;
         return starter_on(d, p, {"--model", "4"});
       },
       1, "starter: model 4 cannot be identified from these data"},
      {"S13",
       [](const TempDir& d) {
         // A plot growing as model 13's curve does when its rate goes to 0.
         std::vector<TestPlot> p = good_plots();
         p.push_back(plot(999, {1.0, 5.0, 9.0, 13.0, 17.0}, {0.05, 0.497, 1.15, 1.95, 2.86}));
         return starter_on(d, p, {"--model", "13"});
       },
       1,
       "model 13 cannot be started from these data: the best rate of 1 plot lies beyond 4^15 (about 1e9) times the "
       "typical rate"},
      {"S14",
       [](const TempDir& d) {
         std::vector<std::string> args = starter_on(d, good_plots(), {"--model", "1"});
         args[2] = args[0];
         return args;
       },
       2, "' is the data file '"},
      {"S15",
       [](const TempDir& d) {
         // The local-parameter file under another name, through a link.
         std::vector<std::string> args = starter_on(d, good_plots(), {"--model", "1"});
         fs::create_symlink(args[1], d / "start.ctl");
         args[2] = d / "start.ctl";
         return args;
       },
       2, "(the same file): writing it would destroy that input"},
      {"S16",
       [](const TempDir& d) {
         std::vector<std::string> args = starter_on(d, good_plots(), {"--model", "1"});
         fs::create_directory(d / "folder");
         args[2] = d / "folder";
         return args;
       },
       2, "folder': it is a directory"},
      {"S17",
       [](const TempDir& d) {
         std::vector<std::string> args = starter_on(d, good_plots(), {"--model", "1"});
         std::ofstream(args[1], std::ios::binary | std::ios::app) << std::string(100, '\0');
         return args;
       },
       2, "is damaged: its 9076 bytes are 12 records of 748 bytes and 100 bytes more"},
  };
  return all;
}

class StarterBadInput : public ::testing::TestWithParam<std::size_t> {};

// Each bad input gets its status and message, writes no control file and
// leaves every input file as it was.
TEST_P(StarterBadInput, GetsItsStatusAndMessageAndWritesNothing) {
  const BadCase& c = bad_cases()[GetParam()];
  TempDir dir;
  const std::vector<std::string> args = c.args(dir);
  std::vector<std::pair<std::string, std::vector<unsigned char>>> inputs;
  for (const auto& entry : fs::directory_iterator(dir / ""))
    if (entry.is_regular_file()) inputs.emplace_back(entry.path().string(), read_bytes(entry.path().string()));
  const ProgramResult r = run_starter(args);
  EXPECT_EQ(r.status, c.status) << r.out << r.err;
  EXPECT_NE(r.err.find(c.message), std::string::npos) << "[" << r.err << "]";
  EXPECT_FALSE(fs::exists(dir / "start"));
  for (const auto& [path, bytes] : inputs) EXPECT_EQ(read_bytes(path), bytes) << path;
  if (c.row == std::string("S13")) {
    EXPECT_NE(r.err.find("first plot 13 (ID 999)"), std::string::npos);
    EXPECT_EQ(read_text(dir / "start.runaway.csv").substr(0, 23), "position,id,a,b\n13,999,");
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, StarterBadInput, ::testing::Range<std::size_t>(0, 17),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           return std::string(bad_cases()[info.param].row);
                         });

TEST(StarterBadInputTable, EveryRowHasACase) { EXPECT_EQ(bad_cases().size(), 17u); }

}  // namespace
