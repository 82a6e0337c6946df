// The parsers of command-line values and the help a program's table yields.
#include "io/option_values.hpp"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "io/command_line.hpp"
#include "io/errors.hpp"

namespace {

// Lists of numbers and ranges against the set they name, counted directly.
TEST(OptionValues, IntegerRangesNameTheirSet) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 300; ++trial) {
    std::string text;
    std::set<int> expected;
    for (int item = 0; item < 1 + trial % 4; ++item) {
      const int first = 1 + static_cast<int>(random() % 18);
      const int last = first + static_cast<int>(random() % (19 - first));
      text += (text.empty() ? "" : ",") + std::to_string(first) + (last > first ? "-" + std::to_string(last) : "");
      for (int k = first; k <= last; ++k) expected.insert(k);
    }
    const auto got = io::integers_and_ranges(text, 1, 18);
    ASSERT_TRUE(got.has_value()) << text;
    EXPECT_EQ(*got, std::vector<int>(expected.begin(), expected.end())) << text;
  }
  for (const char* bad : {"", "0", "19", "3-", "-", "5-2", "1,,2", "1-19", "a", "2 ", "1-2-3"})
    EXPECT_FALSE(io::integers_and_ranges(bad, 1, 18).has_value()) << '"' << bad << '"';
}

// A range reaches its end up to rounding (0.3 / 0.1 is below 3 in binary),
// keeps to the limit, and a list comes back sorted without repeats.
TEST(OptionValues, StepsReachTheirEndAndKeepTheLimit) {
  EXPECT_EQ(io::numbers_and_steps("--ages", "0:0.3:0.1", 10, "ages").size(), 4u);
  EXPECT_EQ(io::numbers_and_steps("--ages", "30,10:30:10,5", 10, "ages"), (std::vector<double>{5, 10, 20, 30}));
  EXPECT_EQ(io::numbers_and_steps("--ages", "1:10:1", 10, "ages").size(), 10u);
  for (const char* bad : {"1:11:1", "1:10:1,20", "1:2", "2:1:1", "1:2:0", "", "1,", "inf", "1e999"})
    EXPECT_THROW(io::numbers_and_steps("--ages", bad, 10, "ages"), io::IoError) << bad;
  EXPECT_EQ(io::integer_list("--ids", "-3,2147483647", "an id"), (std::vector<std::int32_t>{-3, 2147483647}));
  EXPECT_THROW(io::integer_list("--ids", "2147483648", "an id"), io::IoError);
  EXPECT_THROW(io::fraction_list("--level", "0.5,1"), io::IoError);
}

// Rows of the help: a label that reaches the column stands on its own line,
// two options may share a row, --help and --version close the last group.
TEST(CommandLine, HelpRowsFromTheTable) {
  const io::ProgramInterface table{
      .program = "p",
      .input = "",
      .description = "Does p.",
      .arguments = {{"FILE", "input file", "what it reads\nline two"}},
      .required = 1,
      .option_groups = {{"First", {{"--a", "X", ""}, {"--b", "X", "the pair", true}}},
                        {"Second", {{"--long-option-name", "", "a flag"}, {"--with", "N", "goes with the flag", false, "--long-option-name"}}}},
      .epilogue = "Exit status: 0.\n",
      .column = 12,
  };
  EXPECT_EQ(io::help_text(table),
            "usage: p FILE --a X --b X [--long-option-name [--with N]]\n\nDoes p.\n\nArguments:\n"
            "  FILE        what it reads\n"
            "              line two\n\n"
            "First:\n"
            "  --a X, --b X\n"
            "              the pair\n\n"
            "Second:\n"
            "  --long-option-name\n"
            "              a flag\n"
            "  --with N    goes with the flag\n"
            "  -h, --help  show this help and exit\n"
            "  --version   show the version and exit\n\n"
            "Exit status: 0.\n");
  // A usage longer than a line is wrapped at 80 characters under the first argument.
  io::ProgramInterface wide = table;
  wide.input = "ANSWERS";
  for (char c = 'c'; c <= 'p'; ++c) wide.option_groups[0].options.emplace_back(std::string("--option-") + c, "VALUE", "x");
  const std::string usage = io::usage_text(wide);
  EXPECT_EQ(usage.substr(0, 40), "p FILE --a X --b X [--option-c VALUE] [-");
  std::size_t start = 0;
  int lines = 0;
  for (std::size_t end = usage.find('\n'); start != std::string::npos; ++lines) {
    const std::string line = usage.substr(start, end == std::string::npos ? end : end - start);
    EXPECT_LE(line.size() + (lines == 0 ? 7 : 0), 80u) << line;
    if (lines > 0) {
      EXPECT_EQ(line.rfind("         [", 0), 0u) << line;
    }
    start = end == std::string::npos ? end : end + 1;
    end = usage.find('\n', start);
  }
  EXPECT_EQ(lines, 6);  // 2 options on the first line, 3 on each next, then the flag and the input
  EXPECT_EQ(usage.substr(usage.size() - 10), " < ANSWERS");
}

}  // namespace
