// The comparer as a program: the same files whatever the number of jobs, the
// table sorted by AIC and consistent with each model's results file, flags
// for optima on a boundary, and models the data cannot start listed last.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "common/results_reader.hpp"
#include "support/fit_problem.hpp"
#include "support/program.hpp"

namespace {

namespace fs = std::filesystem;

struct Row {
  std::vector<std::string> fields;
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
      if (!entry.is_regular_file() || entry.path().filename() == "comparison.csv") continue;
      const std::string name = fs::relative(entry.path(), dir / "out").string();
      if (first.count(name) == 0) {
        first[name] = read_bytes(entry.path().string());
      } else {
        EXPECT_EQ(read_bytes(entry.path().string()), first[name]) << name;
      }
    }
  }
  EXPECT_EQ(first.size(), 27u);  // nine files of each of three models
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

}  // namespace
