// Golden runs: the bundled examples and simulated data for several models,
// with the preparer's console, the estimator's trace, the report and the
// local-parameter file stored as they were produced (tests/golden/regenerate.sh).
// Any change of a byte in any of them, with one thread or three, fails here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

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

TEST(Golden, EveryByteOfConsoleReportAndLocalFileIsUnchanged) {
  const auto cases = golden_cases();
  ASSERT_GE(cases.size(), 9u);
  for (const fs::path& dir : cases) {
    SCOPED_TRACE(dir.filename().string());
    const auto expected = [&dir](const char* name) { return read_text((dir / name).string()); };
    for (const char* threads : {"1", "3"}) {
      SCOPED_TRACE(std::string("threads ") + threads);
      TempDir work;
      const ProgramResult prep =
          run_preparer({(dir / "raw.txt").string(), work / "data", work / "locals"}, expected("answers"));
      ASSERT_EQ(prep.status, 0) << prep.err;
      EXPECT_EQ(prep.out, expected("expected-preparer"));
      ::setenv("ESTIMATOR_THREADS", threads, 1);
      const ProgramResult run =
          run_estimator({(dir / "control").string(), work / "data", work / "locals", work / "report"});
      ::unsetenv("ESTIMATOR_THREADS");
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.out, expected("expected-trace"));
      EXPECT_EQ(read_text(work / "report"), expected("expected-report"));
      EXPECT_TRUE(read_text(work / "locals") == expected("expected-locals")) << "local-parameter file differs";
    }
  }
}

}  // namespace
