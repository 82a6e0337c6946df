// The preparer program driven with piped answers and real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "estimator/plot_files.hpp"
#include "io/byte_order.hpp"
#include "support/plot_records.hpp"
#include "support/program.hpp"
#include "support/temp_dir.hpp"

namespace {

const std::string kDialogue =
    " Enter number of locals, minimum required measurements per plot,\n"
    " age scale, height scale, columns in parameter file, lines to\n"
    " skip at the start, position of plot ID column:\n"
    "\n"
    " Enter positions of each local in parameter file,\n"
    " or 0 if given below:\n"
    "\n"
    " Enter initial local estimates (ignored if given in file):\n"
    "\n";

struct Prepared {
  ProgramResult result;
  std::string data, locals;
  std::size_t plots_in_locals() const { return read_bytes(locals).size() / common::kRecordLength; }
};

class Preparer : public ::testing::Test {
 protected:
  Prepared prepare(const std::string& raw, const std::string& answers, const std::string& parameters = "") {
    const std::string raw_path = dir.write("raw.txt", raw);
    std::vector<std::string> args = {raw_path, dir / "out.dat", dir / "out.loc"};
    if (!parameters.empty()) args.push_back(dir.write("params.txt", parameters));
    return {run_preparer(args, answers), dir / "out.dat", dir / "out.loc"};
  }
  // The console after the dialogue.
  static std::string messages(const ProgramResult& r) {
    return r.out.compare(0, kDialogue.size(), kDialogue) == 0 ? r.out.substr(kDialogue.size())
                                                              : "<dialogue differs>\n" + r.out;
  }
  TempDir dir;
};

std::string plot_lines(int id, int n, double first_age = 1.0) {
  std::ostringstream out;
  for (int i = 0; i < n; ++i) out << id << " " << first_age + i << " " << 1.0 + 0.5 * i << "\n";
  return out.str();
}

TEST_F(Preparer, DialogueWarningAndUsingLines) {
  std::string raw = plot_lines(12, 2);  // plot 12 with two lines, then twelve plots of three
  for (int id = 1; id <= 12; ++id) raw += plot_lines(id, 3);
  const Prepared p = prepare(raw, "1 3 1.0 1.0 0 0 0\n0\n5.0\n");
  EXPECT_EQ(p.result.status, 0);
  EXPECT_EQ(messages(p.result),
            " *** WARNING:  plot        12 has less than 3 measurements. Ignored.\n"
            " Using       12 plots\n");
  EXPECT_EQ(p.plots_in_locals(), 12u);
}

TEST_F(Preparer, DataAndLocalFilesByteForByte) {
  const Prepared p = prepare("17 5 1.5\n17 10 3.0\n4 2 1\n", "2 2 1 1 0 0 0\n0 0\n7.5 -0.25\n");
  ASSERT_EQ(p.result.status, 0) << p.result.err;
  EXPECT_EQ(messages(p.result),
            " *** WARNING:  plot         4 has less than 2 measurements. Ignored.\n Using        1 plots\n");
  const std::vector<unsigned char> expected = {0x08, 0, 0,    0,    0x11, 0, 0, 0, 0x02, 0, 0,    0,    0x08, 0, 0, 0,
                                               0x20, 0, 0,    0,    0,    0, 0, 0, 0,    0, 0x14, 0x40, 0,    0, 0, 0,
                                               0,    0, 0xf8, 0x3f, 0,    0, 0, 0, 0,    0, 0x24, 0x40, 0,    0, 0, 0,
                                               0,    0, 0x08, 0x40, 0x20, 0, 0, 0};
  EXPECT_EQ(read_bytes(p.data), expected);
  const std::vector<unsigned char> record = read_bytes(p.locals);
  ASSERT_EQ(record.size(), 748u);
  EXPECT_EQ(io::load_i32(record.data()), 17);
  EXPECT_EQ(io::load_f64(&record[4]), 7.5);
  EXPECT_EQ(io::load_f64(&record[12]), -0.25);
  for (std::size_t off = 20; off < 748; ++off) EXPECT_EQ(record[off], 0) << off;
}

TEST_F(Preparer, ScalesDivideAgesAndHeights) {
  const Prepared p = prepare("3 20 40\n3 30 50\n", "1 1 10 4 0 0 0\n0\n1\n");
  ASSERT_EQ(p.result.status, 0);
  io::SequentialReader data(p.data, "data file");
  common::Plot plot;
  ASSERT_EQ(common::read_any_plot(data, plot), common::PlotStatus::ok);
  EXPECT_EQ(plot.ages[0], 2.0);
  EXPECT_EQ(plot.heights[0], 10.0);
  EXPECT_EQ(plot.heights[1], 12.5);
}

TEST_F(Preparer, MinimumOfZeroOrLessAcceptsEveryPlot) {
  for (const char* minimum : {"0", "-3"}) {
    const Prepared p = prepare("1 1 1\n2 1 1\n2 2 2\n", std::string("1 ") + minimum + " 1 1 0 0 0\n0\n1\n");
    EXPECT_EQ(messages(p.result), " Using        2 plots\n");
  }
}

TEST_F(Preparer, AgesWithinAPlotMustNotDecrease) {
  Prepared p = prepare("5 1 1\n5 2 1\n5 2 1.5\n6 0.5 1\n", "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(messages(p.result), " Using        2 plots\n") << "equal ages, and a smaller age starting a new plot";
  p = prepare("5 1 1\n5 2 1\n6 3 1\n6 2.5 1\n7 1 1\n", "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(p.result.status, 1);
  EXPECT_EQ(messages(p.result), " *** ERROR:  Decreasing age in plot         6\n");
  EXPECT_EQ(p.plots_in_locals(), 1u) << "the plot accepted before the error stays written";
  EXPECT_EQ(read_bytes(p.data).size(), 24u + 2u * 16u);
}

TEST_F(Preparer, NinetyNineLinesMakeAPlotAHundredStop) {
  Prepared p = prepare(plot_lines(8, 99), "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(messages(p.result), " Using        1 plots\n");
  EXPECT_EQ(read_bytes(p.data).size(), 24u + 16u * 99u);
  p = prepare(plot_lines(7, 2) + plot_lines(8, 100), "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(p.result.status, 1);
  EXPECT_EQ(messages(p.result), " *** ERROR:  More than 99 measurements in plot         8\n");
  EXPECT_EQ(p.plots_in_locals(), 1u);
}

TEST_F(Preparer, ReturningIdentifiersBlankLinesAndAShortLastLine) {
  const Prepared p = prepare("4 1 1\n\n4 2 2\n9 1 1\n4 5 1\n4 6 2\n   \n9 2\n", "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(messages(p.result), " Using        3 plots\n");
  const std::vector<unsigned char> loc = read_bytes(p.locals);
  ASSERT_EQ(record_count(loc), 3);
  EXPECT_EQ(record_id(loc, 1), 4);
  EXPECT_EQ(record_id(loc, 2), 9);
  EXPECT_EQ(record_id(loc, 3), 4);
  // A line spread over two lines counts as one measurement.
  const Prepared q = prepare("4 1\n 1\n4 2 2\n", "1 2 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(messages(q.result), " Using        1 plots\n");
}

TEST_F(Preparer, IdentifierWithADecimalPointIsAReadError) {
  const Prepared p = prepare("11 1 1\n11 2 2\n12.0 3 3\n", "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(p.result.status, 1);
  EXPECT_EQ(messages(p.result), " *** ERROR reading data file at plot        11\n") << "the console holds only that";
  EXPECT_EQ(p.result.err, "preparer: raw data file '" + dir / "raw.txt" +
                              "', line 3: expected an integer for the plot identifier, found \"12.0\"\n");
  // The failing line's identifier is named once it has been read.
  const Prepared q = prepare("11 1 1\n13 x 3\n", "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(messages(q.result).substr(0, 47), " *** ERROR reading data file at plot        13\n");
}

TEST_F(Preparer, DialogueLimits) {
  EXPECT_EQ(prepare("1 1 1\n", "8 1 1 1 0 0 0\n0 0 0 0 0 0 0 0\n1 1 1 1 1 1 1 1\n").result.status, 0);
  Prepared p = prepare("1 1 1\n", "9 1 1 1 0 0 0\n");
  EXPECT_EQ(p.result.status, 1);
  EXPECT_EQ(p.result.out.substr(p.result.out.rfind(" ***")), " *** ERROR:  Too many locals\n");
  p = prepare("1 1 1\n", "9 1 1 1 51 0 1\n");
  EXPECT_EQ(p.result.out.substr(p.result.out.rfind(" ***")), " *** ERROR:  Too many locals\n")
      << "locals checked first";
  p = prepare("1 1 1\n", "1 1 1 1 51 0 1\n");
  EXPECT_EQ(p.result.out.substr(p.result.out.rfind(" ***")),
            " *** ERROR:  More than 50 columns in local parameters file\n");
  std::string params;
  for (int c = 1; c <= 50; ++c) params += std::to_string(c == 50 ? 1 : c) + " ";
  EXPECT_EQ(prepare("1 1 1\n", "1 1 1 1 50 0 50\n0\n1\n", params + "\n").result.status, 0);
  p = prepare("1 1 1\n", "2 1 1 1 3 0 1\n1 4\n");
  EXPECT_EQ(p.result.out.substr(p.result.out.rfind(" ***")), " *** ERROR: Parameter file column index out of range\n");
  p = prepare("1 1 1\n", "1 1 1 1 0 0 0\n2\n");
  EXPECT_EQ(p.result.out.substr(p.result.out.rfind(" ***")), " *** ERROR: Parameter file column index out of range\n");
}

TEST_F(Preparer, ParameterFileWithSkippedLinesPositionsAndMismatch) {
  const std::string raw = "21 1 1\n21 2 2\n22 1 1\n23 1 1\n23 3 2\n";
  const std::string params = "header line\nsecond header, with 1 2 3\n9.5 21 0.25\n9.6 22 0.5\n9.7 23 0.75\n";
  const Prepared p = prepare(raw, "2 2 1 1 3 2 2\n3 0\n0 -4.5\n", params);
  ASSERT_EQ(p.result.status, 0) << p.result.err;
  EXPECT_EQ(messages(p.result),
            " *** WARNING:  plot        22 has less than 2 measurements. Ignored.\n Using        2 plots\n");
  const std::vector<unsigned char> loc = read_bytes(p.locals);
  ASSERT_EQ(record_count(loc), 2);
  EXPECT_EQ(record_real(loc, 1, 0), 0.25);
  EXPECT_EQ(record_real(loc, 1, 1), -4.5);
  EXPECT_EQ(record_id(loc, 2), 23);
  EXPECT_EQ(record_real(loc, 2, 0), 0.75) << "plot 22's line was read although the plot was dropped";

  const Prepared m = prepare(raw, "1 1 1 1 3 0 2\n3\n0\n", "1 21 1\n1 25 1\n1 23 1\n");
  EXPECT_EQ(m.result.status, 1);
  EXPECT_EQ(messages(m.result),
            " *** ERROR:  Plot ID mistmatch between data and local parameters files:        22        25\n");
  EXPECT_EQ(m.plots_in_locals(), 1u);

  const Prepared f = prepare(raw, "1 1 1 1 3 0 2\n3\n0\n", "1 21.5 1\n");
  EXPECT_EQ(messages(f.result),
            " *** ERROR:  Plot ID mistmatch between data and local parameters files:        21        21\n");
  EXPECT_EQ(f.result.err, "preparer: the plot ID column holds 21.5\n");

  const Prepared s = prepare(raw, "1 1 1 1 3 1 2\n3\n0\n", "only one line\n1 21 1\n");
  EXPECT_EQ(s.result.status, 1);
  EXPECT_EQ(messages(s.result), " *** ERROR reading local parameters file for       22\n");
  EXPECT_EQ(s.result.err.rfind("preparer: parameter text file '" + dir / "params.txt" + "'", 0), 0u) << s.result.err;

  const Prepared k = prepare(raw, "1 1 1 1 3 5 2\n3\n0\n", "a\nb\n");
  EXPECT_EQ(messages(k.result), " *** ERROR reading local parameters file for\n");
  EXPECT_NE(k.result.err.find("ends at line 3 of the 5 lines to skip"), std::string::npos) << k.result.err;
}

TEST_F(Preparer, RefusedScalesAndIdColumnWriteNothing) {
  dir.write("out.dat", "old data");
  for (const char* answers : {"1 1 0 1 0 0 0\n", "1 1 1 -2 0 0 0\n", "1 1 1 1 3 0 4\n", "1 1 1 1 3 0 0\n"}) {
    const Prepared p = prepare("1 1 1\n", answers);
    EXPECT_EQ(p.result.status, 1) << answers;
    EXPECT_EQ(p.result.err.rfind("preparer: ", 0), 0u) << answers;
    EXPECT_EQ(read_text(p.data), "old data") << answers;
  }
}

TEST_F(Preparer, NonPositiveHeightStops) {
  const Prepared p = prepare("1 1 1\n1 2 2\n2 1 0\n", "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(p.result.status, 1);
  EXPECT_EQ(messages(p.result), "");
  EXPECT_EQ(p.result.err, "preparer: raw data file '" + dir / "raw.txt" +
                              "', line 3: the height of plot 2 is 0; heights must be greater than 0\n");
  EXPECT_EQ(p.plots_in_locals(), 1u);
  EXPECT_EQ(prepare("3 1 -1.5\n", "1 1 1 1 0 0 0\n0\n1\n").result.status, 1);
}

TEST_F(Preparer, EmptyRawFileWritesNoPlot) {
  for (const char* raw : {"", "\n\n   \n"}) {
    const Prepared p = prepare(raw, "1 0 1 1 3 0 1\n0\n1\n", "1 2 3\n");
    EXPECT_EQ(p.result.status, 0);
    EXPECT_EQ(messages(p.result), " Using        0 plots\n");
    EXPECT_EQ(read_bytes(p.data).size(), 0u);
    EXPECT_EQ(p.plots_in_locals(), 0u);
  }
}

TEST_F(Preparer, OutputFilesHoldExactlyThisRunsPlots) {
  std::string many;
  for (int id = 1; id <= 5; ++id) many += plot_lines(id, 2);
  ASSERT_EQ(prepare(many, "1 1 1 1 0 0 0\n0\n1\n").plots_in_locals(), 5u);
  const Prepared p = prepare(plot_lines(1, 2) + plot_lines(2, 2), "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(p.plots_in_locals(), 2u);
  EXPECT_EQ(read_bytes(p.data).size(), 2u * (24u + 32u));
}

TEST_F(Preparer, MissingInputsEndWithADiagnostic) {
  ProgramResult r = run_preparer({dir / "absent.txt", dir / "o.dat", dir / "o.loc"}, "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("preparer: cannot open the raw data file '" + dir / "absent.txt" + "'"), std::string::npos)
      << r.err;
  const std::string raw = dir.write("raw.txt", "1 1 1\n");
  r = run_preparer({raw, dir / "o.dat", dir / "o.loc"}, "1 1 1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("standard input ends (after line 1) where a number for the height scale was expected"),
            std::string::npos)
      << r.err;
  r = run_preparer({raw, dir / "o.dat", dir / "o.loc"}, "1 1 1 1 3 0 1\n0\n1\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("missing argument 4: the parameter text file"), std::string::npos) << r.err;
  r = run_preparer({raw, dir / "o.dat"}, "");
  EXPECT_NE(r.err.find("missing argument 3"), std::string::npos) << r.err;
}

TEST_F(Preparer, LongFileNamesAreTakenWhole) {
  const std::string deep = std::string(90, 'd');
  std::filesystem::create_directories(dir / deep);
  const std::string raw = dir.write(deep + "/" + std::string(95, 'r'), "1 1 1\n");
  const std::string data = dir / (deep + "/" + std::string(96, 'a'));
  const std::string locals = dir / (deep + "/" + std::string(97, 'l'));
  const ProgramResult r = run_preparer({raw, data + "   ", locals}, "1 1 1 1 0 0 0\n0\n1\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(read_bytes(data).size(), 40u);
  EXPECT_EQ(read_bytes(locals).size(), 748u);
}

// A plot written by the preparer reads back unchanged through the
// estimator's own routines.
TEST_F(Preparer, PlotsReadBackThroughTheEstimator) {
  const Prepared p =
      prepare("301 3 4.51\n301 5 10.89\n301 10 28.72\n303 3 4.55\n303 5 10.92\n", "2 1 10 10 0 0 0\n0 0\n8 0.5\n");
  ASSERT_EQ(p.result.status, 0);
  using namespace estimator;
  using namespace model;
  const Sizes sizes = make_sizes(3, 2, 2);
  io::SequentialReader data(p.data, "data file");
  io::DirectAccessFile records = common::open_local_file(p.locals, io::DirectAccessFile::Mode::read_write_existing);
  const Files files{data, records};
  Locals locals{};
  WorkBlock block{};
  LocalFactor factor{};
  common::Plot plot;
  rdata(data, 1, get(files, sizes, 1, locals, block, factor), plot);
  EXPECT_EQ(plot.id, 301);
  EXPECT_EQ(plot.n, 3);
  EXPECT_EQ(plot.ages[2], 10.0 / 10);
  EXPECT_EQ(plot.heights[1], 10.89 / 10);
  EXPECT_EQ(locals[0], 8.0);
  EXPECT_EQ(locals[1], 0.5);
  rdata(data, 2, get(files, sizes, 2, locals, block, factor), plot);
  EXPECT_EQ(plot.id, 303);
  EXPECT_EQ(plot.heights[0], 4.55 / 10);
}

}  // namespace
