// The results files of the estimator (--json, --plots): asking for them
// changes no byte of the console, the report or the local-parameter file, and
// every figure they hold rounds to the figure the report prints.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "common/fingerprint.hpp"
#include "common/plot_file_readers.hpp"
#include "support/program.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The numbers of fixed-width fields from column `start` on.
std::vector<double> fields(const std::string& line, std::size_t start, std::size_t width) {
  std::vector<double> v;
  for (std::size_t p = start; p + width <= line.size(); p += width) v.push_back(std::stod(line.substr(p, width)));
  return v;
}

// x rounded to `digits` significant digits equals the printed value.
void expect_printed(double x, double printed, int digits, const std::string& what) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.*E", digits - 1, x);
  EXPECT_EQ(std::stod(buf), printed) << what << ": JSON " << x << ", report " << printed;
}

std::size_t find_line(const std::vector<std::string>& lines, const std::string& start, std::size_t from = 0) {
  for (std::size_t i = from; i < lines.size(); ++i)
    if (lines[i].rfind(start, 0) == 0) return i;
  ADD_FAILURE() << "no line starting with " << start;
  return lines.size();
}

// Values of the G15.7 lines that follow line `at` (a lower triangle when
// `rows` > 1: row i holds i + 1 values; else one line of `count` values).
void expect_block(const std::vector<std::string>& lines, std::size_t at, const Json& values, const std::string& what) {
  if (values.is_array() && !values.empty() && values[0].is_array()) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      const std::vector<double> row = fields(lines[at + 1 + i], 0, 15);
      for (std::size_t j = 0; j < row.size(); ++j) {
        expect_printed(values[i][j].get<double>(), row[j], 7, what);
        EXPECT_EQ(values[i][j], values[j][i]) << what << " symmetric";
      }
    }
    return;
  }
  const std::vector<double> row = fields(lines[at + 1], 0, 15);
  ASSERT_EQ(row.size(), values.size()) << what;
  for (std::size_t i = 0; i < row.size(); ++i) expect_printed(values[i].get<double>(), row[i], 7, what);
}

void expect_rectangle(const std::vector<std::string>& lines, std::size_t at, const Json& values,
                      const std::string& what) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::vector<double> row = fields(lines[at + 1 + i], 0, 15);
    ASSERT_EQ(row.size(), values[i].size()) << what;
    for (std::size_t j = 0; j < row.size(); ++j) expect_printed(values[i][j].get<double>(), row[j], 7, what);
  }
}

void expect_summary(const std::vector<std::string>& lines, std::size_t at, const Json& s, const std::string& what) {
  expect_block(lines, at, s["estimates"], what + " averages");
  const std::size_t se = find_line(lines, "0STANDARD ERRORS:", at);
  expect_block(lines, se, s["standard_errors"], what + " standard errors");
  expect_block(lines, find_line(lines, "0CORRELATIONS:", se), s["correlations"], what + " correlations");
  expect_rectangle(lines, find_line(lines, "0CORRELATION WITH GLOBAL PARAMETERS:", se), s["correlations_with_globals"],
                   what + " with globals");
}

std::string data_fingerprint(const std::string& path, int np) {
  io::SequentialReader in(path, "data file");
  common::Fingerprint print;
  common::Plot plot;
  for (int p = 0; p < np; ++p) {
    EXPECT_EQ(common::read_any_plot(in, plot), common::PlotStatus::ok);
    print.add_plot(plot.id, plot.n, plot.ages.data(), plot.heights.data());
  }
  return print.hex();
}

TEST(ResultsFiles, ChangeNothingElseAndAgreeWithTheReport) {
  for (const char* name : {"model13", "loblolly-model1"}) {
    SCOPED_TRACE(name);
    const fs::path dir = fs::path(GOLDEN_DIR) / name;
    TempDir work;
    ASSERT_EQ(run_preparer({(dir / "raw.txt").string(), work / "data", work / "locals"},
                           read_text((dir / "answers").string()))
                  .status,
              0);
    const ProgramResult run =
        run_estimator({(dir / "control").string(), work / "data", work / "locals", work / "report", "--json",
                       work / "results.json", "--plots", work / "plots.csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, read_text((dir / "expected-trace").string()));
    const std::string report = read_text(work / "report");
    EXPECT_EQ(report, read_text((dir / "expected-report").string()));
    EXPECT_TRUE(read_text(work / "locals") == read_text((dir / "expected-locals").string()));

    const Json j = Json::parse(read_text(work / "results.json"));
    const std::vector<std::string> lines = lines_of(report);
    const std::string outcome = j["outcome"] == "converged"                  ? "0CONVERGED"
                                : j["outcome"] == "iteration limit exceeded" ? "0ITERATION LIMIT EXCEEDED"
                                                                             : "0HESSIAN MATRIX NOT POSITIVE";
    EXPECT_EQ(lines[2].rfind(outcome, 0), 0u) << lines[2];
    const int np = j["plots"], ng = static_cast<int>(j["globals"]["names"].size());
    const int nl = static_cast<int>(j["model"]["locals"].size());
    EXPECT_EQ(std::stoi(lines[find_line(lines, " NUMBER OF PLOTS:")].substr(17)), np);
    EXPECT_EQ(std::stol(lines[find_line(lines, "0NUMBER OF MEASUREMENTS:")].substr(24)), j["measurements"].get<long>());
    expect_printed(j["log_likelihood"], fields(lines[find_line(lines, "0LOG-LIKELIHOOD:")], 16, 14)[0], 7,
                   "log-likelihood");
    const double objective = j["objective"], k = j["parameters"];
    EXPECT_EQ(k, ng + nl * np);
    EXPECT_EQ(j["aic"].get<double>(), objective + 2 * k);
    EXPECT_EQ(j["bic"].get<double>(), objective + k * std::log(j["measurements"].get<double>()));
    expect_block(lines, find_line(lines, "0GLOBAL PARAMETERS:"), j["globals"]["estimates"], "globals");
    const std::size_t global_se = find_line(lines, "0STANDARD ERRORS:");
    expect_block(lines, global_se, j["globals"]["standard_errors"], "global standard errors");
    expect_block(lines, find_line(lines, "0CORRELATIONS:"), j["globals"]["correlations"], "global correlations");
    expect_summary(lines, find_line(lines, "0LOCAL PARAMETERS (WEIGHTED AVERAGES)"), j["local_averages"], "locals");
    expect_summary(lines, find_line(lines, "0ABS. VALUE OF LOCAL"), j["absolute_local_averages"], "absolute locals");
    EXPECT_EQ(j["fingerprints"]["data"], data_fingerprint(work / "data", np));

    // One CSV row per plot line of the report (G13.6 after the identifier and n).
    const std::vector<std::string> rows = lines_of(read_text(work / "plots.csv"));
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(np + 1));
    EXPECT_EQ(rows[0].rfind("position,id,measurements,objective,a,se_a", 0), 0u) << rows[0];
    const std::size_t first = find_line(lines, "0    PLOT") + 1;
    for (int p = 0; p < np; ++p) {
      std::vector<double> csv;
      std::stringstream row(rows[static_cast<std::size_t>(p + 1)]);
      for (std::string cell; std::getline(row, cell, ',');) csv.push_back(std::stod(cell));
      const std::string& line = lines[first + static_cast<std::size_t>(p)];
      EXPECT_EQ(csv[0], p + 1);
      EXPECT_EQ(csv[1], std::stod(line.substr(1, 12)));
      EXPECT_EQ(csv[2], std::stod(line.substr(13, 4)));
      const std::vector<double> printed = fields(line, 17, 13);
      ASSERT_EQ(printed.size(), static_cast<std::size_t>(1 + 2 * nl));
      expect_printed(csv[3], printed[0], 6, "plot objective");
      for (int l = 0; l < nl; ++l) {
        expect_printed(csv[static_cast<std::size_t>(4 + 2 * l)], printed[static_cast<std::size_t>(1 + l)], 6, "local");
        expect_printed(csv[static_cast<std::size_t>(5 + 2 * l)], printed[static_cast<std::size_t>(1 + nl + l)], 6,
                       "se");
      }
    }
  }
}

TEST(ResultsFiles, UnwritableResultsFileStopsBeforeTheRun) {
  const fs::path dir = fs::path(GOLDEN_DIR) / "model1";
  TempDir work;
  ASSERT_EQ(
      run_preparer({(dir / "raw.txt").string(), work / "data", work / "locals"}, read_text((dir / "answers").string()))
          .status,
      0);
  const std::string before = read_text(work / "locals");
  const ProgramResult r = run_estimator({(dir / "control").string(), work / "data", work / "locals", work / "report",
                                         "--json", work / "no-such-dir/results.json"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("JSON results file"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(read_text(work / "locals") == before);
  EXPECT_FALSE(fs::exists(work / "report"));
}

}  // namespace
