// New plots (projector --new-data): a plot's locals with the run's globals
// held, and every table for it. A plot of the fit given again as a new plot
// must get the locals of the fit, whose optimum holds each plot's locals at
// their best for the final globals, and the fit's projections, residuals and
// site index; the standard error of a single local is checked against the
// curvature of the plot objective by differences. Plots that their
// measurements cannot determine are left out with the reason, and bad new
// data is refused with nothing written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <set>
#include <thread>
#include <filesystem>
#include <sstream>

#include "common/plot.hpp"
#include "model/likelihood.hpp"
#include "model/models.hpp"
#include "io/errors.hpp"
#include "projector/new_data.hpp"
#include "support/csv_table.hpp"
#include "support/program.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;

const std::string kRaw = (fs::path(GOLDEN_DIR) / "loblolly-model1" / "raw.txt").string();

// Loblolly in tens of years and feet, fitted by `model` from the starter with a tight tolerance.
struct Fit {
  TempDir dir;
  int model;
  explicit Fit(int m) : model(m) {
    EXPECT_EQ(run_preparer({kRaw, dir / "lob.dat", dir / "lob.loc"}, "1 3 10 10 0 0 0\n0\n0\n").status, 0);
    EXPECT_EQ(run_program(STARTER_PATH, {dir / "lob.dat", dir / "lob.loc", dir / "lob.ctl", "--model",
                                         std::to_string(m), "--tolerance", "1e-10"})
                  .status,
              0);
    const ProgramResult r = run_estimator({dir / "lob.ctl", dir / "lob.dat", dir / "lob.loc", dir / "lob.rep", "--json",
                                           dir / "lob.json", "--plots", dir / "lob.plots.csv"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(read_text(dir / "lob.json").find("\"outcome\": \"converged\""), std::string::npos);
  }
  ProgramResult project(const std::string& prefix, const std::vector<std::string>& source) const {
    std::vector<std::string> args = {dir / "lob.json"};
    args.insert(args.end(), source.begin(), source.end());
    args.insert(args.end(), {"--ages", "5,15,30", "--base-age", "25", "--projections", dir / (prefix + ".p.csv"),
                             "--residuals", dir / (prefix + ".r.csv"), "--site-index", dir / (prefix + ".s.csv")});
    return run_program(PROJECTOR_PATH, args);
  }
};

void expect_same_table(const std::string& a, const std::string& b, double tolerance) {
  const CsvTable x = read_csv(a), y = read_csv(b);
  ASSERT_EQ(x.names, y.names);
  ASSERT_EQ(x.rows.size(), y.rows.size()) << a;
  for (std::size_t k = 0; k < x.rows.size(); ++k)
    for (std::size_t c = 0; c < x.names.size(); ++c) {
      const double u = x.rows[k][c], v = y.rows[k][c];
      if (x.names[c] == "state_sd") continue;  // 1e-13 where sigma_p is at 0: rounding alone
      EXPECT_NEAR(u, v, tolerance * std::max(1.0, std::fabs(u))) << a << " row " << k << " " << x.names[c];
    }
}

TEST(NewPlots, APlotOfTheFitGivenAgainGetsTheFitsLocalsAndTables) {
  for (int model : {1, 7, 13}) {
    SCOPED_TRACE("model " + std::to_string(model));
    const Fit fit(model);
    ASSERT_EQ(fit.project("run", {fit.dir / "lob.dat", fit.dir / "lob.loc"}).status, 0);
    const ProgramResult r = fit.project("new", {"--new-data", kRaw, "--new-locals", fit.dir / "new.csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* table : {".p.csv", ".r.csv", ".s.csv"})
      expect_same_table(fit.dir / ("run" + std::string(table)), fit.dir / ("new" + std::string(table)), 1e-8);
    const CsvTable fitted = read_csv(fit.dir / "lob.plots.csv"), fresh = read_csv(fit.dir / "new.csv");
    ASSERT_EQ(fitted.rows.size(), fresh.rows.size());
    for (std::size_t k = 0; k < fitted.rows.size(); ++k) {
      EXPECT_EQ(fresh.at(k, "id"), fitted.at(k, "id"));
      EXPECT_NEAR(fresh.at(k, "objective"), fitted.at(k, "objective"), 1e-8);
      for (const char* local : {"a", "b"}) {
        if (std::find(fitted.names.begin(), fitted.names.end(), local) == fitted.names.end()) continue;
        const double factor = local == std::string("a") ? 10.0 : 0.1;  // raw units
        const double x = factor * fitted.at(k, local);
        EXPECT_NEAR(fresh.at(k, local), x, 1e-8 * std::fabs(x)) << local << " of row " << k;
      }
    }
  }
}

// The standard error of a local with the globals held: sqrt(2 / f''), f the
// plot objective, here by central differences of model::funct.
TEST(NewPlots, TheStandardErrorOfALocalIsTheCurvatureOfThePlotObjective) {
  const Fit fit(1);
  TempDir& dir = const_cast<TempDir&>(fit.dir);
  const std::string one = dir.write("one.txt", "8 5 12\n8 10 28\n8 15 41\n8 20 51\n8 25 58\n");
  const ProgramResult r = run_program(PROJECTOR_PATH, {fit.dir / "lob.json", "--new-data", one, "--new-locals",
                                                       fit.dir / "one.csv", "--residuals", fit.dir / "res.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const CsvTable t = read_csv(fit.dir / "one.csv");
  const std::string json = read_text(fit.dir / "lob.json");
  // The globals, from the results file's estimates array.
  const std::size_t at = json.find("\"estimates\"", json.find("\"globals\": {"));
  std::stringstream in(json.substr(json.find('[', at) + 1));
  model::Globals g{};
  for (int i = 0; i < 4; ++i) {
    in >> g[static_cast<std::size_t>(i)];
    in.ignore(8, ',');
  }
  common::Plot plot;
  plot.n = 5;
  const double ages[] = {5, 10, 15, 20, 25}, heights[] = {12, 28, 41, 51, 58};
  for (int i = 0; i < 5; ++i) {
    plot.ages[static_cast<std::size_t>(i)] = ages[i] / 10;
    plot.heights[static_cast<std::size_t>(i)] = heights[i] / 10;
  }
  const model::Esde esde{.k1 = 10, .k2 = 10, .model = 1};
  const auto f = [&](double a) {
    model::Curve curve{};
    model::trpars(esde, g, model::Locals{a}, curve);
    return model::funct(curve, plot.n, plot.ages.data(), plot.heights.data());
  };
  const double a = t.at(0, "a") / 10, h = 1e-4;
  const double second = (f(a + h) - 2 * f(a) + f(a - h)) / (h * h);
  EXPECT_NEAR(f(a), t.at(0, "objective"), 1e-10);
  EXPECT_LT(std::fabs(f(a + h) - f(a - h)) / (2 * h), 1e-5);  // a stationary point
  EXPECT_NEAR(t.at(0, "se_a"), 10 * std::sqrt(2 / second), 1e-5 * t.at(0, "se_a"));
}

// One measurement for two locals, and a rate that runs to the end of its
// range (heights that never approach an asymptote): named with the reason and
// left out; the plot between them goes on.
TEST(NewPlots, PlotsTheirMeasurementsCannotDetermineAreLeftOutWithTheReason) {
  const Fit fit(13);
  const std::string raw = fit.dir.write(
      "odd.txt", "7 5 10\n8 5 12\n8 10 28\n8 15 41\n8 20 51\n9 3 1\n9 6 4\n9 9 9\n9 12 16\n9 15 25\n");
  const ProgramResult r = run_program(PROJECTOR_PATH, {fit.dir / "lob.json", "--new-data", raw, "--new-locals",
                                                       fit.dir / "odd.csv", "--projections", fit.dir / "odd.p.csv",
                                                       "--ages", "5,15"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("new plot 1 (ID 7) left out: 1 measurement at 1 age: the 2 locals of model 13 need"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("new plot 3 (ID 9) left out: its rate runs to the end of the rates searched"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("2 of 3 new plots left out"), std::string::npos);
  const CsvTable p = read_csv(fit.dir / "odd.p.csv");
  ASSERT_EQ(p.rows.size(), 2u);
  EXPECT_EQ(p.at(0, "id"), 8);
  EXPECT_EQ(p.at(0, "position"), 2);
  std::stringstream lines(read_text(fit.dir / "odd.csv"));
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1].rfind("1,7,1,NaN,NaN,NaN,NaN,NaN,1 measurement at 1 age", 0), 0u) << rows[1];
  EXPECT_EQ(rows[2].back(), ',') << rows[2];
  EXPECT_NE(rows[3].find(",NaN,NaN,NaN,NaN,its rate runs"), std::string::npos) << rows[3];
}

// Bad new data: one message each, status 2, no output.
TEST(NewPlots, BadNewDataIsRefusedWithNothingWritten) {
  const Fit fit(1);
  struct Case {
    std::string raw, message;
  };
  const std::vector<Case> cases = {
      {"7 5 10\n7 10 20\n7 9 25\n", "new data file '" + fit.dir / "bad.txt" +
                                        "', line 3: the ages of plot 7 decrease; within a plot ages must not decrease"},
      {"7 5 10\n7 10 -2\n",
       "new data file '" + fit.dir / "bad.txt" + "', line 2: the height of plot 7 is -2; heights must be greater than 0"},
      {"7 5 10\n8 5 11\n7 9 12\n", "new data file '" + fit.dir / "bad.txt" +
                                       "': the identifier 7 is given to the plot at line 1 and again to the plot at "
                                       "line 3; every new plot needs an identifier of its own"},
      {"7 5 ten\n", "new data file '" + fit.dir / "bad.txt" + "'"},
  };
  for (const Case& c : cases) {
    fit.dir.write("bad.txt", c.raw);
    const ProgramResult r = run_program(PROJECTOR_PATH, {fit.dir / "lob.json", "--new-data", fit.dir / "bad.txt",
                                                         "--new-locals", fit.dir / "out.csv", "--ages", "5",
                                                         "--projections", fit.dir / "out.p.csv"});
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_NE(r.err.find("projector: " + c.message), std::string::npos) << "expected: " << c.message << "\ngot: "
                                                                           << r.err;
    EXPECT_FALSE(fs::exists(fit.dir / "out.csv"));
    EXPECT_FALSE(fs::exists(fit.dir / "out.p.csv"));
  }
  const std::vector<std::pair<std::vector<std::string>, std::string>> calls = {
      {{fit.dir / "lob.json", "--new-data", kRaw, "--summary-page", fit.dir / "p.html"},
       "--summary-page shows the run's own plots: it cannot be made with --new-data"},
      {{fit.dir / "lob.json", fit.dir / "lob.dat", fit.dir / "lob.loc", "--new-locals", fit.dir / "out.csv"},
       "--new-locals needs --new-data"},
      {{fit.dir / "lob.json", "--new-data", kRaw, "--curve-figure", fit.dir / "c.svg"},
       "results file '" + fit.dir / "lob.json" +
           "': --curve-figure with --new-data needs the run's DATA and LOCALS: the guide curves of a fixed-locals "
           "fit are at the quantiles of its plots' locals"},
      {{fit.dir / "lob.json", "--residuals", fit.dir / "out.csv"}, "missing argument 2: the data file"},
  };
  for (const auto& [args, message] : calls) {
    const ProgramResult r = run_program(PROJECTOR_PATH, args);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_NE(r.err.find("projector: " + message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(fit.dir / "out.csv"));
  }
}

// Repeated identifiers beyond what one pass keeps: every plot given twice, so
// that the suspects outnumber kMaxSuspects; the scan keeps no more than that
// and still names the first repeat with both lines.
TEST(NewPlots, ManyRepeatedIdentifiersAreRefusedWithBoundedMemory) {
  const TempDir dir;
  const std::int32_t n = static_cast<std::int32_t>(projector::kMaxSuspects) + 1000;
  std::string raw;
  for (int round = 0; round < 2; ++round)
    for (std::int32_t id = 1; id <= n; ++id) raw += std::to_string(id) + " 5 10\n";
  dir.write("twice.txt", raw);
  try {
    const projector::NewDataScan scan = projector::scan_new_data(dir / "twice.txt");
    ADD_FAILURE() << "not refused; " << scan.suspects.size() << " suspects kept";
  } catch (const io::IoError& e) {
    EXPECT_EQ(std::string(e.what()), "new data file '" + dir / "twice.txt" +
                                         "': the identifier 1 is given to the plot at line 1 and again to the plot at "
                                         "line " +
                                         std::to_string(n + 1) + "; every new plot needs an identifier of its own");
  }
  // Two identifiers alternating: two suspects kept, whatever the number of plots.
  std::string alternating;
  for (int i = 0; i < 50000; ++i) alternating += std::to_string(3 + i % 2) + " 5 10\n";
  dir.write("alternating.txt", alternating);
  const projector::NewDataScan scan = projector::scan_new_data(dir / "alternating.txt");
  EXPECT_EQ(scan.plots, 50000);
  EXPECT_EQ(scan.suspects, (std::vector<std::int32_t>{3, 4}));
}


std::set<std::string> entries_under(const std::string& folder) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(folder)) out.insert(e.path().string());
  return out;
}

// Whether process `pid` has `path` open.
bool holds(int pid, const std::string& path) {
  const fs::path target = fs::weakly_canonical(path);
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::error_code gone;
    if (fs::read_symlink(fd.path(), gone) == target) return true;
  }
  return false;
}

// A paged plot figure interrupted (SIGTERM, SIGINT) after two finished pages
// leaves nothing behind: the new data come through a pipe, held open after
// 40 plots (loblolly's under new identifiers) in the pass that draws them.
TEST(NewPlots, InterruptedPlotPagesLeaveNothingBehind) {
  const Fit fit(1);
  std::vector<std::vector<std::string>> plots;  // the measurements' "age height" of each plot
  std::stringstream raw(read_text(kRaw));
  std::string last;
  for (std::string id, age, height; raw >> id >> age >> height;) {
    if (id != last) plots.emplace_back();
    last = id;
    plots.back().push_back(age + " " + height);
  }
  ASSERT_EQ(plots.size(), 14u);
  std::string text;
  for (int k = 0; k < 40; ++k)
    for (const std::string& m : plots[static_cast<std::size_t>(k) % plots.size()])
      text += std::to_string(1000 + k) + " " + m + "\n";
  const std::string pipe = fit.dir / "new.fifo";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::set<std::string> before = entries_under(fit.dir / "");
  for (const int signal_number : {SIGTERM, SIGINT}) {
    const int pid = start_program(PROJECTOR_PATH, {fit.dir / "lob.json", "--new-data", pipe, "--plot-figure",
                                                   fit.dir / "plots.svg", "--plot-pages"});
    for (int pass = 0; pass < 2; ++pass) {
      std::FILE* out = std::fopen(pipe.c_str(), "w");
      ASSERT_NE(out, nullptr);
      std::fputs(text.c_str(), out);
      if (pass == 0) {
        std::fclose(out);
        // The second pass opens the pipe again only once the first has closed it.
        while (holds(pid, pipe)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      std::fflush(out);
      // Two pages are finished once the 33rd plot is drawn.
      int finished = 0;
      for (int wait = 0; wait < 6000 && finished < 2; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        finished = 0;
        for (const std::string& e : entries_under(fit.dir / ""))
          if (!before.count(e) && fs::is_regular_file(e) && e.find(".partial-") == std::string::npos) ++finished;
      }
      std::string seen;
      for (const std::string& e : entries_under(fit.dir / "")) seen += e + "\n";
      EXPECT_EQ(finished, 2) << "the pages were not written: " << seen;
      EXPECT_EQ(stop_program(pid, signal_number), 128 + signal_number);
      std::fclose(out);
    }
    EXPECT_EQ(entries_under(fit.dir / ""), before) << "left behind after signal " << signal_number;
  }
}

}  // namespace
