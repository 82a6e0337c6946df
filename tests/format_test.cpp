// Formatted output: field editing and the format interpreter, checked against
// the worked examples of the programs' own output.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "io/edit.hpp"
#include "io/format.hpp"

namespace {

std::string g(double v, int w, int d) {
  std::string s;
  io::edit_g(s, v, w, d);
  return s;
}

std::string run(const char* literal, const io::Items& items) {
  std::string s;
  io::Format(literal).write(s, items);
  return s;
}

TEST(GEdit, FixedPointRangeAndTrailingBlanks) {
  EXPECT_EQ(g(0.0, 11, 5), " 0.0000    ");
  EXPECT_EQ(g(0.0, 9, 1), "   0.    ");
  EXPECT_EQ(g(0.5, 9, 1), "  0.5    ");
  EXPECT_EQ(g(1.0, 9, 1), "   1.    ");
  EXPECT_EQ(g(0.1, 11, 5), "0.10000    ");
  EXPECT_EQ(g(1.0, 11, 5), " 1.0000    ");
  EXPECT_EQ(g(12345.6, 11, 5), " 12346.    ");
  EXPECT_EQ(g(-12345.6, 11, 5), "-12346.    ");
  EXPECT_EQ(g(3.14159265358979, 20, 11), "    3.1415926536    ");
  EXPECT_EQ(g(-270.123456789012345, 18, 11), " -270.12345679    ");
  // Decided on the unrounded value: rounds up to six digits but stays fixed.
  EXPECT_EQ(g(99999.5, 11, 5), "100000.    ");
  EXPECT_EQ(g(100000.0, 11, 5), "0.10000E+06");
}

TEST(GEdit, ExponentFormSignsAndLeadingZero) {
  EXPECT_EQ(g(1e-5, 9, 1), "  0.1E-04");
  EXPECT_EQ(g(0.001, 9, 1), "  0.1E-02");
  EXPECT_EQ(g(1.5e-5, 11, 5), "0.15000E-04");
  // One character too narrow for the 0: it is left out.
  EXPECT_EQ(g(-1.5e-5, 11, 5), "-.15000E-04");
  EXPECT_EQ(g(-0.12345, 11, 5), "-.12345    ");
  EXPECT_EQ(g(0.12345, 11, 5), "0.12345    ");
  EXPECT_EQ(g(0.0999999, 11, 5), "0.10000E+00");
  EXPECT_EQ(g(-6.02e23, 15, 7), " -0.6020000E+24");
  EXPECT_EQ(g(123456789.0, 13, 6), " 0.123457E+09");
  // Three-digit exponents drop the E.
  EXPECT_EQ(g(1e100, 11, 5), "0.10000+101");
  EXPECT_EQ(g(1e-150, 11, 5), "0.10000-149");
}

TEST(GEdit, TooWideNonFiniteAndNegativeZero) {
  EXPECT_EQ(g(-1e-5, 5, 1), "*****");
  EXPECT_EQ(g(-0.0, 11, 5), " 0.0000    ");
  EXPECT_EQ(g(std::numeric_limits<double>::infinity(), 11, 5), "        INF");
  EXPECT_EQ(g(-std::numeric_limits<double>::infinity(), 11, 5), "       -INF");
  EXPECT_EQ(g(std::nan(""), 11, 5), "    nan    ");
  EXPECT_EQ(g(-std::nan(""), 11, 5), "    nan    ");
  EXPECT_EQ(g(-std::numeric_limits<double>::infinity(), 5, 1), "*****");
  std::string f;
  io::edit_f(f, -0.0000001, 7, 3);
  EXPECT_EQ(f, "  0.000");  // rounds to zero: no sign
}

// Found by fuzzing: exponent form with more digits than a fixed buffer held.
TEST(GEdit, WideFieldsAndManyDigits) {
  const std::string wide = g(1.5e-300, 402, 202);
  EXPECT_EQ(wide.size(), 402u);
  EXPECT_EQ(wide.substr(wide.size() - 4), "-299");                         // three-digit exponent, no E
  EXPECT_NE(wide.find(" 0.150000000000000012047909"), std::string::npos);  // the exact binary value
  std::string f;
  io::edit_f(f, 1e300, 2000, 1500);
  EXPECT_EQ(f.size(), 2000u);
  EXPECT_EQ(f.find('*'), std::string::npos);
}

TEST(IEdit, RightAlignedOrAsterisks) {
  std::string s;
  io::edit_i(s, 4, 2);
  io::edit_i(s, -12, 4);
  io::edit_i(s, 100, 2);
  io::edit_i(s, 12, 9);
  EXPECT_EQ(s, " 4 -12**       12");
}

TEST(FormatInterpreter, RunHeaderTenLines) {
  const std::string title = "LOBLOLLY PINE, MODEL 1";
  std::string padded = title + std::string(80 - title.size(), ' ');
  io::Items items;
  items.chunks(padded, 4).i(4).i(1).i(14).i(1).i(50).r(1e-5);
  const std::string out =
      run("(1H1,20A4,/,/,19H GLOBAL PARAMETERS:,I2,/,18H LOCAL PARAMETERS:,I2,/,17H NUMBER OF PLOTS:,I4,/,"
          "22H MONITORING FREQUENCY:,I3,/,17H ITERATION LIMIT:,I3,/,11H TOLERANCE:,G9.1,/,/,20X,14HMONITOR OUTPUT)",
          items);
  const std::string expected = "1" + padded + "\n" + "\n" + " GLOBAL PARAMETERS: 4\n" + " LOCAL PARAMETERS: 1\n" +
                               " NUMBER OF PLOTS:  14\n" + " MONITORING FREQUENCY:  1\n" + " ITERATION LIMIT: 50\n" +
                               " TOLERANCE:  0.1E-04\n" + "\n" + std::string(20, ' ') + "MONITOR OUTPUT\n";
  EXPECT_EQ(out, expected);
}

TEST(FormatInterpreter, ReportPlotBlockReversion) {
  const char* fmt = "(1H ,I12,I4,(9G13.6,/))";
  io::Items three;
  three.i(301).i(6).r(1.5).r(2.5).r(0.25);
  EXPECT_EQ(run(fmt, three), "          301   6" + g(1.5, 13, 6) + g(2.5, 13, 6) + g(0.25, 13, 6) + "\n");

  io::Items nine;
  nine.i(7).i(3);
  std::string line;
  for (int k = 1; k <= 9; ++k) {
    nine.r(k);
    line += g(k, 13, 6);
  }
  EXPECT_EQ(run(fmt, nine), "            7   3" + line + "\n\n");

  // Four locals: nine values, the block ends with an empty line.
  io::Items eleven = nine;
  eleven.r(10).r(11);
  // Five locals: eleven values, three lines with the middle one empty.
  EXPECT_EQ(run(fmt, eleven), "            7   3" + line + "\n\n" + g(10, 13, 6) + g(11, 13, 6) + "\n");
  // Six locals: thirteen values, the same three lines.
  io::Items thirteen = eleven;
  thirteen.r(12).r(13);
  EXPECT_EQ(run(fmt, thirteen),
            "            7   3" + line + "\n\n" + g(10, 13, 6) + g(11, 13, 6) + g(12, 13, 6) + g(13, 13, 6) + "\n");
}

TEST(FormatInterpreter, ReversionToBeginningAndStops) {
  io::Items twelve;
  for (int k = 1; k <= 12; ++k) twelve.r(k);
  std::string first, second;
  for (int k = 1; k <= 10; ++k) first += g(k, 15, 7);
  second = g(11, 15, 7) + g(12, 15, 7);
  EXPECT_EQ(run("(10G15.7)", twelve), first + "\n" + second + "\n");
  EXPECT_EQ(run("(14H0CORRELATIONS:)", io::Items()), "0CORRELATIONS:\n");
  // Output stops at the first data descriptor without an item.
  io::Items warn;
  warn.a("*** WARNING:  plot ").i(12).a(" has less than").i(3).a(" measurements. Ignored.");
  EXPECT_EQ(run("(1X,A,I9,A,I2,A)", warn), " *** WARNING:  plot        12 has less than 3 measurements. Ignored.\n");
  io::Items using_line;
  using_line.a("Using").i(12).a(" plots");
  EXPECT_EQ(run("(1X,A,I9,A,I2,A)", using_line), " Using       12 plots\n");
  io::Items mismatch;
  mismatch.a("*** ERROR:  Plot ID mistmatch between data and local").a(" parameters files:").i(12).i(13);
  EXPECT_EQ(run("(1X,A,A,I10,I10)", mismatch),
            " *** ERROR:  Plot ID mistmatch between data and local parameters files:        12        13\n");
}

TEST(FormatInterpreter, MonitorLinesAndSlashes) {
  io::Items alpha;
  alpha.r(0.0);
  EXPECT_EQ(run("(/,9H ALPHA = ,G11.5,/,13H     PLOT   N,6X,8HFUNCTION,16X,16HLOCAL PARAMETERS)", alpha),
            "\n ALPHA =  0.0000    \n     PLOT   N      FUNCTION                LOCAL PARAMETERS\n");
  io::Items summary;
  summary.i(0).r(123.456).i(0).i(0).r(2.0).r(0.5).r(0.25).r(1.0).r(2.0);
  EXPECT_EQ(run("(/,1H ,6H ITER.,I3,10H   FUNCT.=,G18.11,7H   NPD=,I3,8H   NPD0=,I1,8H   DMAX=,G11.5,"
                "7H  GMAX=,G11.5,9H   ALPHA=,G11.5,/,13X,14HGLOBAL PARMS.:,10G18.11,/,/)",
                summary),
            "\n  ITER.  0   FUNCT.=  123.45600000       NPD=  0   NPD0=0   DMAX= 2.0000      GMAX=0.50000"
            "       ALPHA=0.25000    \n             GLOBAL PARMS.:  1.0000000000      2.0000000000    \n");
  // With ten globals the two closing slashes are reached: two empty lines.
  io::Items full;
  full.i(1).r(1.0).i(0).i(0).r(0.0).r(0.0).r(1.0);
  for (int k = 0; k < 10; ++k) full.r(1.0);
  const std::string ten =
      run("(/,1H ,6H ITER.,I3,10H   FUNCT.=,G18.11,7H   NPD=,I3,8H   NPD0=,I1,8H   DMAX=,G11.5,"
          "7H  GMAX=,G11.5,9H   ALPHA=,G11.5,/,13X,14HGLOBAL PARMS.:,10G18.11,/,/)",
          full);
  EXPECT_EQ(ten.substr(ten.size() - 7), "    \n\n\n");
  EXPECT_EQ(run("(1H ,20A4,/)", io::Items().chunks(std::string(80, 'x'), 4)), " " + std::string(80, 'x') + "\n\n");
}

TEST(FormatInterpreter, RejectsMalformedLiterals) {
  EXPECT_THROW(io::Format("(I4"), std::logic_error);
  EXPECT_THROW(io::Format("(5Habc)"), std::logic_error);
  EXPECT_THROW(io::Format("(Q4)"), std::logic_error);
  // Found by fuzzing: reverting to a group repeated 0 times wrote empty lines for ever.
  EXPECT_THROW(io::Format("(1H ,I12,I4,(0G13.6,/))"), std::logic_error);
  EXPECT_THROW(io::Format("(0I4)"), std::logic_error);
  // Found by fuzzing: a count of 17777777777... overflowed and asked for gigabytes of blanks.
  EXPECT_THROW(io::Format("(17777777777777777777X,I2,A)"), std::logic_error);
  EXPECT_NO_THROW(io::Format("(9999X,I2)"));
  std::string s;
  EXPECT_THROW(io::Format("(I4)").write(s, io::Items().r(1.0).view()), std::logic_error);
}

}  // namespace
