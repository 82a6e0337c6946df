// The comparer as a program: the same files whatever the number of jobs, the
// table sorted by AIC and consistent with each model's results file, flags
// for optima on a boundary, and models the data cannot start listed last.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <memory>
#include <sstream>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <nlohmann/json.hpp>

#include "bench/simulation.hpp"
#include "common/results_reader.hpp"
#include "model/catalogue.hpp"
#include "model/model_table.hpp"
#include "model/model_table.hpp"
#include "support/fit_problem.hpp"
#include "support/program.hpp"

namespace {

namespace fs = std::filesystem;

struct Row {
  std::vector<std::string> fields;
  bool operator==(const Row&) const = default;
};

// The CSV rows (no field of these tables holds a comma).
std::vector<Row> read_csv(const std::string& path) {
  std::ifstream in(path);
  std::vector<Row> rows;
  for (std::string line; std::getline(in, line);) {
    Row r;
    std::stringstream s(line);
    for (std::string f; std::getline(s, f, ',');) r.fields.push_back(f);
    if (!line.empty() && line.back() == ',') r.fields.push_back("");
    rows.push_back(r);
  }
  return rows;
}

std::string loblolly() { return (fs::path(GOLDEN_DIR) / "loblolly-model1" / "raw.txt").string(); }

struct Prepared {
  std::string data, locals;
};

Prepared prepare(const TempDir& dir, const std::string& raw) {
  Prepared p{dir / "data", dir / "locals"};
  const ProgramResult r = run_preparer({raw, p.data, p.locals}, "1 3 10 10 0 0 0\n0\n0\n");
  EXPECT_EQ(r.status, 0) << r.err;
  return p;
}

ProgramResult compare(const Prepared& p, const std::string& out, const std::vector<std::string>& options) {
  std::vector<std::string> args = {p.data, p.locals, out};
  args.insert(args.end(), options.begin(), options.end());
  return run_program(COMPARER_PATH, args);
}

TEST(ComparerProgram, SameFilesWhateverTheJobsAndATableSortedByAic) {
  TempDir dir;
  const Prepared p = prepare(dir, loblolly());
  const std::vector<unsigned char> preparer_locals = read_bytes(p.locals);
  const std::vector<std::string> options = {"--models", "1,13,18", "--k1", "10", "--k2", "10"};
  // Both runs write into the same folder (results files name their files).
  std::vector<std::vector<Row>> tables;
  std::map<std::string, std::vector<unsigned char>> first;
  for (const char* jobs : {"1", "3"}) {
    std::vector<std::string> o = options;
    o.insert(o.end(), {"--jobs", jobs});
    const ProgramResult r = compare(p, dir / "out", o);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("best converged model by AIC: model 13"), std::string::npos) << r.out;
    // Progress on the error stream: every model's start and end, the time left until the last.
    for (const char* model : {"1", "13", "18"})
      EXPECT_NE(r.err.find("comparer: running model " + std::string(model) + " (running: "), std::string::npos)
          << r.err;
    if (std::string(jobs) == "1") {
      EXPECT_NE(r.err.find("comparer: running model 13 (running: 13; 1 of 3 done)"), std::string::npos) << r.err;
      EXPECT_NE(r.err.find("comparer: 2 of 3 done; running: none; about "), std::string::npos) << r.err;
    }
    EXPECT_EQ(r.err.find("3 of 3 done"), std::string::npos) << r.err;
    tables.push_back(read_csv(dir / "out/comparison.csv"));
    for (const auto& entry : fs::recursive_directory_iterator(dir / "out")) {
      // The table and each model's record of its row hold the seconds, which change.
      if (!entry.is_regular_file() || entry.path().filename() == "comparison.csv" ||
          entry.path().filename() == "row.json")
        continue;
      const std::string name = fs::relative(entry.path(), dir / "out").string();
      if (first.count(name) == 0) {
        first[name] = read_bytes(entry.path().string());
      } else {
        EXPECT_EQ(read_bytes(entry.path().string()), first[name]) << name;
      }
    }
  }
  EXPECT_EQ(first.size(), 28u);  // nine files of each of three models, and the folder's lock
  EXPECT_EQ(read_bytes(p.locals), preparer_locals) << "the preparer's file is only read";

  const std::vector<Row>& table = tables[0];
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0].fields, (std::vector<std::string>{"model", "globals", "locals", "log_likelihood", "parameters",
                                                       "aic", "bic", "outcome", "iterations", "seconds", "flag"}));
  double previous = -INFINITY;
  for (std::size_t k = 1; k < table.size(); ++k) {
    const std::vector<std::string>& f = table[k].fields;
    const std::vector<std::string>& g = tables[1][k].fields;
    SCOPED_TRACE(f[0]);
    for (std::size_t c = 0; c < f.size(); ++c) {
      if (c == 9) continue;  // seconds
      EXPECT_EQ(f[c], g[c]) << "column " << c;
    }
    const double aic = std::stod(f[5]);
    EXPECT_GE(aic, previous);
    previous = aic;
    EXPECT_NEAR(aic, -2.0 * std::stod(f[3]) + 2.0 * std::stod(f[4]), 1e-9 * std::fabs(aic));
    const common::ResultsReader results(
        dir / ("out/model-" + std::string(f[0].size() == 1 ? "0" : "") + f[0] + "/results.json"));
    EXPECT_EQ(results.finite("/aic"), aic);
    // The run's files are named as the model folder's own, true after it replaced its temporary folder.
    EXPECT_EQ(results.text("/files/locals"), "locals");
    EXPECT_EQ(results.text("/files/report"), "report");
    EXPECT_EQ(f[7], "converged");
    // The loblolly heights are means of seed sources: no process noise.
    EXPECT_EQ(f[10], "sigma_p at 0");
  }
}

// A model the data cannot start is in the table, last, with the reason.
TEST(ComparerProgram, ModelsTheDataCannotStartComeLastWithTheReason) {
  TempDir dir;
  std::vector<TestPlot> plots = simulate_model1(5, 12, 6, {0.15, 0.7, 0.2, 0.05}, 3.0, 0.3, 0.0);
  plots[4] = {4444, {5.0}, {1.5}, {0.0}};
  const FitFiles f = write_fit_problem(dir, plots, ControlSettings{});
  const ProgramResult r = compare({f.data, f.locals}, dir / "out", {"--models", "1,13"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<Row> table = read_csv(dir / "out/comparison.csv");
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[1].fields[0], "1");
  EXPECT_EQ(table[2].fields[0], "13");
  EXPECT_EQ(table[2].fields[7], "not started");
  EXPECT_EQ(table[2].fields[3], "NaN");
  EXPECT_NE(table[2].fields[10].find("plot 5 (ID 4444) has 1 measurement"), std::string::npos);
}

// Waits (at most a minute) until `done` holds.
bool wait_for(const std::function<bool()>& done) {
  for (int i = 0; i < 6000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Processes (other than zombies) whose command line names `text`, or whose
// working folder's name holds it (the comparer's children run in their model's
// folder).
int processes_naming(const std::string& text) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream cmd(entry.path() / "cmdline"), stat(entry.path() / "stat");
    const std::string line((std::istreambuf_iterator<char>(cmd)), std::istreambuf_iterator<char>());
    std::string stat_line;
    std::getline(stat, stat_line);
    const std::size_t close = stat_line.rfind(')');
    const bool zombie = close != std::string::npos && stat_line.size() > close + 2 && stat_line[close + 2] == 'Z';
    std::error_code ec;
    const std::string cwd = fs::read_symlink(entry.path() / "cwd", ec).string();
    if (!zombie && (line.find(text) != std::string::npos || cwd.find(text) != std::string::npos)) ++count;
  }
  return count;
}

// The comparer started in the background on `args`, its output discarded;
// the child's process id (negative when fork fails).
pid_t start_comparer(const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(null, 1);
  ::dup2(null, 2);
  std::vector<char*> argv = {const_cast<char*>(COMPARER_PATH)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(COMPARER_PATH, argv.data());
  ::_exit(127);
}

// A folder belongs to one comparer: a second one on it is refused at once;
// and a comparer killed while it fits leaves none of its children running.
TEST(ComparerProgram, OneRunPerFolderAndNoChildOutlivesIt) {
  TempDir dir;
  bench::SimulationSettings s;
  s.model = 1;
  s.globals = {0.15, 0.7, 0.2, 0.05};
  s.locals = {{3.0, 0.3}};
  s.plots = 20000;
  s.measurements = 6;
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> raw(std::fopen((dir / "raw.txt").c_str(), "w"), std::fclose);
    bench::write_raw_data(s, raw.get());
  }
  const Prepared p{dir / "data", dir / "locals"};
  ASSERT_EQ(run_preparer({dir / "raw.txt", p.data, p.locals}, bench::preparer_answers(s)).status, 0);
  const std::string out = dir / "cmp";
  const std::vector<std::string> args = {p.data, p.locals, out, "--jobs", "1", "--models", "1-13"};
  const pid_t first = start_comparer(args);
  ASSERT_GE(first, 0);
  ASSERT_TRUE(wait_for([&] { return fs::exists(out + "/.comparer-lock"); }));
  const ProgramResult second = compare(p, out, {"--jobs", "1", "--models", "1-13"});
  EXPECT_EQ(second.status, 2);
  EXPECT_NE(second.err.find("is in use by another comparer"), std::string::npos) << second.err;

  ASSERT_TRUE(wait_for([&] { return processes_naming(out + "/model-01") > 0; }));
  ::kill(first, SIGKILL);
  int status = 0;
  ::waitpid(first, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(wait_for([&] { return processes_naming(out) == 0; })) << processes_naming(out) << " still running";
}

// A folder that cannot be made is reported as the folder and the reason.
TEST(ComparerProgram, AFolderThatCannotBeMadeIsNamedWithTheReason) {
  TempDir dir;
  const Prepared p = prepare(dir, loblolly());
  const std::string blocked = dir.write("blocked", "a file, not a folder\n");
  const ProgramResult r = compare(p, blocked + "/out", {"--models", "1"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("comparer: cannot create the folder '" + blocked + "/out': Not a directory"), std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("internal error"), std::string::npos) << r.err;
}

// The comparison table without its seconds column.
std::vector<Row> without_seconds(std::vector<Row> table) {
  for (Row& r : table)
    if (r.fields.size() > 9) r.fields.erase(r.fields.begin() + 9);
  return table;
}

// A comparer killed after 0, 1 (by SIGINT) and most models and run again on its folder
// ends with the table of an uninterrupted run, byte for byte but the seconds;
// an interrupted run leaves no model folder half-written.
TEST(ComparerProgram, AKilledRunResumesToTheSameTable) {
  TempDir dir;
  const Prepared p = prepare(dir, loblolly());
  const std::vector<std::string> options = {"--jobs", "1", "--k1", "10", "--k2", "10"};
  ASSERT_EQ(compare(p, dir / "whole", options).status, 0);
  const std::vector<Row> whole = without_seconds(read_csv(dir / "whole/comparison.csv"));
  ASSERT_EQ(whole.size(), static_cast<std::size_t>(model::kModelCount) + 1);  // with the header
  const std::vector<std::string> after = {"", "model-01/row.json", "model-17/row.json"};
  for (std::size_t k = 0; k < after.size(); ++k) {
    SCOPED_TRACE(k);
    const std::string out = dir / ("cut" + std::to_string(k));
    std::vector<std::string> args = {p.data, p.locals, out};
    args.insert(args.end(), options.begin(), options.end());
    const pid_t pid = start_comparer(args);
    ASSERT_GE(pid, 0);
    const std::string mark = out + "/" + (after[k].empty() ? ".comparer-lock" : after[k]);
    EXPECT_TRUE(wait_for([&] { return fs::exists(mark); }));
    ::kill(pid, k == 1 ? SIGINT : SIGKILL);
    ::waitpid(pid, nullptr, 0);
    // Its children end with it, but not in the same instant.
    EXPECT_TRUE(wait_for([&] { return processes_naming(out) == 0; }));
    for (const auto& entry : fs::directory_iterator(out)) {
      if (entry.is_directory() && entry.path().extension().empty()) {
        EXPECT_TRUE(fs::exists(entry.path() / "row.json")) << entry.path() << " is half-written";
      }
    }
    const ProgramResult again = compare(p, out, options);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(without_seconds(read_csv(out + "/comparison.csv")), whole);
  }
}

// A model's record of the wrong shape (its "inputs" not a string, or its
// values of the wrong types) is not that model's finished fit: the model is
// fitted again, to the table of a fresh run.
TEST(ComparerProgram, ADamagedRecordIsFittedAgain) {
  TempDir dir;
  const Prepared p = prepare(dir, loblolly());
  const std::vector<std::string> options = {"--models", "1", "--jobs", "1"};
  const std::string out = dir / "models";
  ASSERT_EQ(compare(p, out, options).status, 0);
  const std::vector<Row> fresh = without_seconds(read_csv(out + "/comparison.csv"));
  for (const std::string record : {R"({"inputs": 5, "model": 1})", R"({"inputs": ["x"]})", R"({"model": "one"})"}) {
    SCOPED_TRACE(record);
    std::ofstream(out + "/model-01/row.json") << record << "\n";
    const ProgramResult again = compare(p, out, options);
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(without_seconds(read_csv(out + "/comparison.csv")), fresh);
  }
}

// With --random-locals every row is that model's own random-locals fit from
// the starter's values for it: the comparer's table against a starter
// --random-locals and an estimator --random-locals run by hand. The folder held a fixed-locals
// comparison first: its rows are not kept, since the mode differs.
TEST(ComparerProgram, RandomLocalsRowsAreEachModelsOwnMarginalFit) {
  TempDir dir;
  bench::SimulationSettings s;
  s.globals = {0.15, 0.7, 0.2, 0.05};
  s.locals = {{3.0, 0.4}};
  s.plots = 120;
  s.seed = 11;
  {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> raw(std::fopen((dir / "raw.txt").c_str(), "w"), std::fclose);
    bench::write_raw_data(s, raw.get());
  }
  const Prepared p{dir / "data", dir / "locals"};
  ASSERT_EQ(run_preparer({dir / "raw.txt", p.data, p.locals}, bench::preparer_answers(s)).status, 0);
  ASSERT_EQ(compare(p, dir / "out", {"--models", "1,4,13"}).status, 0);
  EXPECT_EQ(compare(p, dir / "out", {"--models", "1", "--quadrature", "3"}).status, 2) << "only with random locals";
  const ProgramResult r = compare(p, dir / "out", {"--models", "1,4,13", "--random-locals", "--jobs", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("random locals (Laplace approximation)"), std::string::npos) << r.out;
  const std::vector<Row> table = read_csv(dir / "out/comparison.csv");
  ASSERT_EQ(table.size(), 4u);
  int fitted = 0;
  for (std::size_t k = 1; k < table.size(); ++k) {
    const std::vector<std::string>& f = table[k].fields;
    SCOPED_TRACE(f[0]);
    const std::string own = dir / ("own" + f[0]);
    fs::create_directories(own);
    fs::copy_file(p.locals, own + "/locals");
    ASSERT_EQ(run_program(STARTER_PATH, {p.data, own + "/locals", own + "/control", "--model", f[0], "--random-locals"})
                  .status,
              0);
    const ProgramResult fit = run_estimator({own + "/control", p.data, own + "/locals", own + "/report",
                                             "--random-locals", "--json", own + "/results.json"});
    if (fit.status != 0) {  // the comparer tells the estimator's reason
      EXPECT_EQ(f[7], "failed");
      EXPECT_EQ("estimator: " + f[10], fit.err.substr(0, fit.err.find('\n')));
      continue;
    }
    const common::ResultsReader results(own + "/results.json");
    EXPECT_EQ(results.text("/locals"), "random");
    const double ll = results.finite("/marginal_log_likelihood");
    EXPECT_NEAR(std::stod(f[3]), ll, 1e-10 * std::fabs(ll));
    const model::ModelCounts c = model::model_counts(std::stoi(f[0]));
    EXPECT_EQ(std::stoll(f[4]), c.ng + c.nl + c.nl * (c.nl + 1) / 2);
    EXPECT_EQ(std::stoll(f[4]), results.integer("/parameters"));
    EXPECT_NEAR(std::stod(f[5]), results.finite("/aic"), 1e-10 * std::fabs(ll));
    EXPECT_NEAR(std::stod(f[6]), results.finite("/bic"), 1e-10 * std::fabs(ll));
    EXPECT_EQ(f[7], results.text("/outcome"));
    ++fitted;
  }
  EXPECT_GE(fitted, 2);
}

}  // namespace
