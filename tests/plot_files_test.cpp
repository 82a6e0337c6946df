// The two plot files: byte layouts as the preparer writes them, and the
// estimator's access routines.
#include <gtest/gtest.h>

#include <cmath>

#include "common/plot_file_layout.hpp"
#include "common/plot_file_readers.hpp"
#include "common/plot_file_writers.hpp"
#include "console_capture.hpp"
#include "estimator/pass_pipeline.hpp"
#include "estimator/plot_files.hpp"
#include "io/byte_order.hpp"
#include "io/errors.hpp"
#include "support/plot_records.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace estimator;
using namespace model;

class PlotFiles : public ::testing::Test {
 protected:
  // A data file with the given plots (id, n, ages, heights).
  std::string data_file(const std::vector<std::tuple<int, std::vector<double>, std::vector<double>>>& plots) {
    const std::string path = dir / "plots.dat";
    {
      io::SequentialWriter out(path, "data file");
      for (const auto& [id, t, h] : plots)
        common::write_data_plot(out, id, static_cast<int>(t.size()), t.data(), h.data());
      out.finish();
    }
    return path;
  }

  TempDir dir;
};

TEST_F(PlotFiles, DataFileOfPlot17ByteForByte) {
  const std::string path = data_file({{17, {5.0, 10.0}, {1.5, 3.0}}});
  const std::vector<unsigned char> expected = {
      0x08, 0, 0, 0, 0x11, 0, 0,    0,    0x02, 0, 0, 0, 0x08, 0, 0,    0,     // header record
      0x20, 0, 0, 0,                                                           // measurement record, L = 32
      0,    0, 0, 0, 0,    0, 0x14, 0x40, 0,    0, 0, 0, 0,    0, 0xf8, 0x3f,  // 5.0, 1.5
      0,    0, 0, 0, 0,    0, 0x24, 0x40, 0,    0, 0, 0, 0,    0, 0x08, 0x40,  // 10.0, 3.0
      0x20, 0, 0, 0};
  EXPECT_EQ(read_bytes(path), expected);
  EXPECT_EQ(common::data_plot_bytes(2), 56);
  EXPECT_EQ(common::data_plot_bytes(1), 40);
}

TEST_F(PlotFiles, StartRecordsAreFullAndPutTouchesOnlyTheUsedBytes) {
  const std::string path = dir / "plots.loc";
  {
    io::DirectAccessFile out = common::open_local_file(path, io::DirectAccessFile::Mode::create);
    common::StartRecord reals{};
    for (int i = 0; i < common::kRecordReals; ++i) reals[static_cast<std::size_t>(i)] = 100.0 + i;
    common::write_start_record(out, 1, 301, reals);
    common::write_start_record(out, 2, -5, reals);
  }
  const std::vector<unsigned char> before = read_bytes(path);
  ASSERT_EQ(record_count(before), 2);
  EXPECT_EQ(record_id(before, 2), -5);
  EXPECT_EQ(record_real(before, 2, common::kRecordReals - 1), 192.0);

  const Sizes sizes = make_sizes(2, 2, 2);
  {
    io::SequentialReader data(data_file({}), "data file");
    io::DirectAccessFile records = common::open_local_file(path, io::DirectAccessFile::Mode::read_write_existing);
    const Files files{data, records};
    Locals locals{};
    WorkBlock block{};
    LocalFactor factor{};
    EXPECT_EQ(get(files, sizes, 2, locals, block, factor), -5);
    EXPECT_EQ(locals[0], 100.0);
    EXPECT_EQ(block[0], 102.0);   // work block follows the two locals
    EXPECT_EQ(factor[0], 108.0);  // after 2 + 6 reals
    for (double& x : locals) x = -1.0;
    for (double& x : block) x = -2.0;
    for (double& x : factor) x = -3.0;
    put(files, sizes, 2, -5, locals, block, factor);
  }
  const std::vector<unsigned char> after = read_bytes(path);
  const common::RecordLayout layout{sizes.ng, sizes.nl};
  const auto used_end = common::record_offset(2) + layout.used_bytes();
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + common::kRecordLength, after.begin()))
      << "record 1 untouched";
  EXPECT_TRUE(std::equal(before.begin() + used_end, before.end(), after.begin() + used_end))
      << "the bytes past the used part untouched";
  EXPECT_EQ(record_id(after, 2), -5);
  EXPECT_EQ(record_real(after, 2, layout.locals_first()), -1.0);
  EXPECT_EQ(record_real(after, 2, layout.work_first()), -2.0);
  EXPECT_EQ(record_real(after, 2, layout.factor_first()), -3.0);
}

TEST_F(PlotFiles, ShortRecordReadsAsZerosAndMissingRecordFails) {
  std::vector<unsigned char> bytes(common::record_offset(2) + common::real_offset(1), 0);
  common::encode_record_id(42, record_bytes(bytes, 2));
  const double first = 2.5;
  common::encode_reals(&first, 0, 1, record_bytes(bytes, 2));
  const std::string path = dir.write_bytes("short.loc", bytes);
  const Sizes sizes = make_sizes(4, 1, 2);
  io::SequentialReader data(data_file({}), "data file");
  io::DirectAccessFile records = common::open_local_file(path, io::DirectAccessFile::Mode::read_write_existing);
  const Files files{data, records};
  Locals locals{};
  WorkBlock block;
  block.fill(9.0);
  LocalFactor factor;
  factor.fill(9.0);
  EXPECT_EQ(get(files, sizes, 2, locals, block, factor), 42);
  EXPECT_EQ(locals[0], 2.5);
  for (int i = 0; i < sizes.nwork; ++i) EXPECT_EQ(block[static_cast<std::size_t>(i)], 0.0);
  EXPECT_EQ(factor[0], 0.0);
  EXPECT_THROW(get(files, sizes, 3, locals, block, factor), io::IoError);
}

TEST_F(PlotFiles, RdataRewindsAtPlotOneAndChecksIdentifiers) {
  const std::string path = data_file({{301, {3.0, 5.0}, {4.5, 10.9}}, {303, {3.0}, {4.6}}});
  io::SequentialReader data(path, "data file");
  common::Plot plot;
  rdata(data, 1, 301, plot);
  EXPECT_EQ(plot.id, 301);
  EXPECT_EQ(plot.n, 2);
  EXPECT_EQ(plot.heights[1], 10.9);
  rdata(data, 7, 303, plot);  // any position but 1 reads the next plot
  EXPECT_EQ(plot.n, 1);
  EXPECT_EQ(plot.ages[0], 3.0);
  rdata(data, 1, 301, plot);
  EXPECT_EQ(plot.id, 301);
  const std::string out = console_output([&] { EXPECT_THROW(rdata(data, 2, 999, plot), io::Stop); });
  EXPECT_EQ(out, " *** RDATA: Bad plot ID, should not happen  ***\n");
  rdata(data, 1, 301, plot);
  rdata(data, 2, 303, plot);
  EXPECT_THROW(rdata(data, 3, 303, plot), io::IoError) << "past the last plot";
}

TEST_F(PlotFiles, RdataRefusesMorePlotMeasurementsThanItHolds) {
  const std::string path = dir / "big.dat";
  {
    io::SequentialWriter out(path, "data file");
    std::vector<double> t(120, 1.0), h(120, 1.0);
    unsigned char header[8];
    io::store_i32(header, 55);
    io::store_i32(header + 4, 120);
    out.write_record(header, 8);
    std::vector<unsigned char> payload(16 * 120, 0);
    out.write_record(payload.data(), static_cast<std::int32_t>(payload.size()));
    out.finish();
  }
  io::SequentialReader data(path, "data file");
  common::Plot plot;
  try {
    rdata(data, 1, 55, plot);
    FAIL() << "not refused";
  } catch (const io::Stop& stop) {
    EXPECT_EQ(stop.status, 1);
    EXPECT_EQ(stop.diagnostic, "plot 1 (ID 55) of the data file has 120 measurements; a plot must have 1 to 99");
  }
}

TEST_F(PlotFiles, RdataRefusesARecordShorterThanItsCount) {
  const std::string path = dir / "cut.dat";
  {
    io::SequentialWriter out(path, "data file");
    unsigned char header[8];
    io::store_i32(header, 8);
    io::store_i32(header + 4, 3);
    out.write_record(header, 8);
    std::vector<unsigned char> payload(16 * 2, 0);  // two pairs where three are due
    out.write_record(payload.data(), 32);
    out.finish();
  }
  io::SequentialReader data(path, "data file");
  common::Plot plot;
  EXPECT_THROW(rdata(data, 1, 8, plot), io::IoError);
}

// The records rewritten with the blocks spread over threads: each record is
// changed exactly as one at a time would change it, the bytes past each
// record's used part stay, and the largest change is found in any block.
TEST_F(PlotFiles, RecordsRewrittenOverThreadsMatchTheirOneByOneRewrite) {
  const Sizes sizes = make_sizes(3, 2, 700);  // two full blocks and part of a third
  std::vector<unsigned char> start(static_cast<std::size_t>(sizes.np) * common::kRecordLength);
  std::uint32_t x = 12345;
  for (unsigned char& b : start) b = static_cast<unsigned char>((x = x * 1664525u + 1013904223u) >> 24);
  for (int p = 0; p < sizes.np; ++p) {  // finite reals in the used part
    Locals locals{};
    WorkBlock work{};
    LocalFactor lfactor{};
    for (int i = 0; i < sizes.nl; ++i) locals[static_cast<std::size_t>(i)] = p + 0.25 * i;
    for (int i = 0; i < sizes.nwork; ++i) work[static_cast<std::size_t>(i)] = std::sin(p + 7.0 * i);
    for (int i = 0; i < sizes.nll; ++i) lfactor[static_cast<std::size_t>(i)] = 1.0 + i;
    encode_record(sizes, 1000 + p, locals, work, lfactor, &start[static_cast<std::size_t>(p) * common::kRecordLength]);
  }
  // Each plot's step: its work block's first column doubled, largest |step|.
  const auto change = [&sizes](PlotSlot& s) {
    s.largest = 0.0;
    for (int j = 0; j < sizes.nl; ++j) {
      s.work[static_cast<std::size_t>(j)] *= 2.0;
      s.largest = max_abs(s.largest, s.work[static_cast<std::size_t>(j)]);
    }
  };
  // Record 5 is changed through the file's cache just before the pass, so the
  // pass must see the change and the cache must not later undo the pass's.
  Locals locals5{};
  WorkBlock work5{};
  LocalFactor lfactor5{};
  const std::int32_t id5 = decode_record(sizes, &start[4 * common::kRecordLength], locals5, work5, lfactor5);
  locals5[0] = -1.0;
  std::vector<unsigned char> expected = start;
  encode_record(sizes, id5, locals5, work5, lfactor5, &expected[4 * common::kRecordLength]);
  double expected_largest = 0.0;
  for (int p = 0; p < sizes.np; ++p) {
    unsigned char* record = &expected[static_cast<std::size_t>(p) * common::kRecordLength];
    PlotSlot s{};
    s.record_id = decode_record(sizes, record, s.locals, s.work, s.lfactor);
    change(s);
    expected_largest = max_abs(expected_largest, s.largest);
    encode_record(sizes, s.record_id, s.locals, s.work, s.lfactor, record);
  }
  ASSERT_NE(expected, start);
  const std::string data = data_file({});
  for (int threads : {1, 3}) {
    const std::string path = dir.write_bytes("locals.bin", start);
    double largest = 0.0;
    {
      io::SequentialReader data_in(data, "data file");
      io::DirectAccessFile locals = common::open_local_file(path, io::DirectAccessFile::Mode::read_write_existing);
      const Files files{data_in, locals};
      put(files, sizes, 5, id5, locals5, work5, lfactor5);
      PassPipeline pipeline(files, sizes, threads);
      largest = pipeline.rewrite_records(change);
    }
    EXPECT_EQ(read_bytes(path), expected) << threads << " threads";
    EXPECT_EQ(largest, expected_largest) << threads << " threads";
  }
}

}  // namespace
