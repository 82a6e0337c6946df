// Golden runs: the bundled examples and simulated data for several models,
// with every output stored as it was produced (tests/golden/regenerate.sh):
// the preparer's console, the estimator's trace, report, local-parameter
// file, JSON and CSV results, the projector's tables and figures, and the
// starter's control file and locals. Any change of a byte in any of them,
// with one thread or three, fails here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/program.hpp"
#include "support/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> golden_cases() {
  std::vector<fs::path> cases;
  for (const auto& entry : fs::directory_iterator(GOLDEN_DIR))
    if (fs::exists(entry.path() / "control")) cases.push_back(entry.path());
  std::sort(cases.begin(), cases.end());
  return cases;
}

// Words of a text, split at blanks.
std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  return w;
}

// The model number and the two constants: the first three values of the
// control file's last line.
std::vector<std::string> model_line(const fs::path& control) {
  std::ifstream in(control);
  std::string line, last;
  while (std::getline(in, line))
    if (!line.empty()) last = line;
  std::vector<std::string> w = words(last);
  w.resize(3);
  return w;
}

void expect_same_file(const std::string& produced, const fs::path& expected) {
  EXPECT_TRUE(read_text(produced) == read_text(expected.string())) << expected.filename() << " differs";
}

// Preparer, then estimator with the results files, then projector, in the
// work directory with the names the stored results files give.
void run_case(const fs::path& dir, const TempDir& work) {
  const ProgramResult prep =
      run_preparer({(dir / "raw.txt").string(), work / "data", work / "locals"}, read_text((dir / "answers").string()));
  ASSERT_EQ(prep.status, 0) << prep.err;
  EXPECT_EQ(prep.out, read_text((dir / "expected-preparer").string()));
  fs::copy_file(work / "locals", work / "starter-locals");
  fs::copy_file(dir / "control", work / "control");

  const ProgramResult run = run_program(
      ESTIMATOR_PATH, {"control", "data", "locals", "report", "--json", "results.json", "--plots", "plots.csv"}, "",
      work / "");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, read_text((dir / "expected-trace").string()));
  for (const std::string name : {"report", "locals", "results.json", "plots.csv"})
    expect_same_file(work / name, dir / ("expected-" + name));

  std::vector<std::string> args = {"results.json", "data", "locals"};
  for (const std::string& w : words(read_text((dir / "projector-settings").string()))) args.push_back(w);
  const std::vector<std::string> outputs = {"projections.csv", "residuals.csv", "site-index.csv",
                                            "plots.svg",       "curves.svg",    "residuals.svg"};
  const std::vector<std::string> options = {"--projections", "--residuals",    "--site-index",
                                            "--plot-figure", "--curve-figure", "--residual-figure"};
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    args.push_back(options[k]);
    args.push_back(outputs[k]);
  }
  const ProgramResult projected = run_program(PROJECTOR_PATH, args, "", work / "");
  ASSERT_EQ(projected.status, 0) << projected.err;
  for (const std::string& name : outputs) expect_same_file(work / name, dir / ("expected-" + name));
}

void run_starter_case(const fs::path& dir, const TempDir& work) {
  const std::vector<std::string> model = model_line(dir / "control");
  const ProgramResult started =
      run_program(STARTER_PATH, {work / "data", work / "starter-locals", work / "starter-control", "--model", model[0],
                                 "--k1", model[1], "--k2", model[2]});
  ASSERT_EQ(started.status, 0) << started.err;
  expect_same_file(work / "starter-control", dir / "expected-starter-control");
  expect_same_file(work / "starter-locals", dir / "expected-starter-locals");
}

TEST(Golden, EveryByteOfEveryOutputIsUnchanged) {
  const auto cases = golden_cases();
  ASSERT_GE(cases.size(), 9u);
  for (const fs::path& dir : cases) {
    SCOPED_TRACE(dir.filename().string());
    for (const char* threads : {"1", "3"}) {
      SCOPED_TRACE(std::string("threads ") + threads);
      TempDir work;
      ::setenv("ESTIMATOR_THREADS", threads, 1);
      run_case(dir, work);
      ::unsetenv("ESTIMATOR_THREADS");
      run_starter_case(dir, work);
    }
  }
}

}  // namespace
