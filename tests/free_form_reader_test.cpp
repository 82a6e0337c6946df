// Free-form reading: separators, lines, integers against reals, exponents,
// and where each read starts.
#include <gtest/gtest.h>

#include "io/errors.hpp"
#include "io/free_form_reader.hpp"
#include "support/temp_dir.hpp"

namespace {

using io::FreeFormReader;
using Status = FreeFormReader::Status;

TEST(FreeFormReader, SeparatorsAndLinesGiveTheSameValues) {
  TempDir dir;
  for (const char* text :
       {"1 2.5 -3\n", "1,2.5,-3\n", "1\t2.5 , -3\n", "1\n\n2.5\n-3 rest ignored\n", "  1 ,2.5\r\n-3\r\n"}) {
    FreeFormReader in(dir.write("a.txt", text), "test file");
    int i = 0, k = 0;
    double x = 0;
    in.require("values", i, x, k);
    EXPECT_EQ(i, 1) << text;
    EXPECT_EQ(x, 2.5) << text;
    EXPECT_EQ(k, -3) << text;
  }
}

TEST(FreeFormReader, EachReadStartsOnANewLine) {
  TempDir dir;
  FreeFormReader in(dir.write("a.txt", "1 2 3\n4 5\n"), "test file");
  int a = 0, b = 0;
  in.require("first", a);
  in.require("second", b);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 4);  // 2 and 3 were dropped with the rest of line 1
  in.begin();
  EXPECT_EQ(in.next(a, "third"), Status::end_of_file);
}

TEST(FreeFormReader, IntegersRefuseDecimalPointsAndExponents) {
  TempDir dir;
  for (const char* text : {"12.0", "1e3", "1.", "abc", "+", "12x", "99999999999"}) {
    FreeFormReader in(dir.write("a.txt", std::string(text) + "\n"), "test file");
    int v = 7;
    in.begin();
    EXPECT_EQ(in.next(v, "an identifier"), Status::bad_value) << text;
    EXPECT_EQ(v, 7);
  }
  FreeFormReader in(dir.write("b.txt", "+12 -0\n"), "test file");
  int a = 0, b = 1;
  in.require("ints", a, b);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, 0);
}

TEST(FreeFormReader, RealsTakeEAndDExponents) {
  TempDir dir;
  FreeFormReader in(dir.write("a.txt", "1.5D2 2.5d-1 3E1 .5 5. -7 +1.25e+2\n"), "test file");
  double v[7];
  in.require("reals", v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
  EXPECT_EQ(v[0], 150.0);
  EXPECT_EQ(v[1], 0.25);
  EXPECT_EQ(v[2], 30.0);
  EXPECT_EQ(v[3], 0.5);
  EXPECT_EQ(v[4], 5.0);
  EXPECT_EQ(v[5], -7.0);
  EXPECT_EQ(v[6], 125.0);
  for (const char* bad : {"nan", "inf", "1e", "e5", "1.2.3", "0x10", "1.5E2.0", "--1"}) {
    FreeFormReader b(dir.write("b.txt", std::string(bad) + "\n"), "test file");
    double x = 0;
    b.begin();
    EXPECT_EQ(b.next(x, "a real"), Status::bad_value) << bad;
  }
}

TEST(FreeFormReader, DiagnosticsNameFileLineAndValue) {
  TempDir dir;
  const std::string path = dir.write("ctl.txt", "title\n4 1\n2.5\n");
  FreeFormReader in(path, "control file");
  std::string title;
  ASSERT_TRUE(in.line(title));
  int a = 0, b = 0, c = 0;
  try {
    in.require("NG, NL and NP", a, b, c);
    FAIL() << "no error";
  } catch (const io::IoError& e) {
    EXPECT_EQ(std::string(e.what()),
              "control file '" + path + "', line 3: expected an integer for NG, NL and NP, found \"2.5\"");
  }
  FreeFormReader short_file(dir.write("s.txt", "1\n"), "control file");
  try {
    short_file.require("two values", a, b);
    FAIL() << "no error";
  } catch (const io::IoError& e) {
    EXPECT_NE(std::string(e.what()).find("ends (after line 1) where an integer for two values was expected"),
              std::string::npos)
        << e.what();
  }
  EXPECT_THROW(FreeFormReader(dir / "missing.txt", "control file"), io::IoError);
}

}  // namespace
