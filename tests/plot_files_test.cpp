// The two plot files: byte layouts as the preparer writes them, and the
// estimator's access routines.
#include <gtest/gtest.h>

#include "common/byte_order.hpp"
#include "common/plot_file_layout.hpp"
#include "common/plot_file_writers.hpp"
#include "console_capture.hpp"
#include "estimator/plot_files.hpp"
#include "io/errors.hpp"
#include "io/units.hpp"
#include "support/temp_dir.hpp"

namespace {

using namespace estimator;

class PlotFiles : public ::testing::Test {
 protected:
  void TearDown() override { io::close_units(); }

  // A data file with the given plots (id, n, ages, heights).
  std::string data_file(const std::vector<std::tuple<int, std::vector<double>, std::vector<double>>>& plots) {
    const std::string path = dir / "plots.dat";
    {
      io::SequentialWriter out(path, "data file");
      for (const auto& [id, t, h] : plots) common::write_data_plot(out, id, static_cast<int>(t.size()), t.data(), h.data());
      out.finish();
    }
    return path;
  }

  TempDir dir;
};

TEST_F(PlotFiles, DataFileOfPlot17ByteForByte) {
  const std::string path = data_file({{17, {5.0, 10.0}, {1.5, 3.0}}});
  const std::vector<unsigned char> expected = {
      0x08, 0, 0, 0, 0x11, 0, 0, 0, 0x02, 0, 0, 0, 0x08, 0, 0, 0,  // header record
      0x20, 0, 0, 0,                                               // measurement record, L = 32
      0, 0, 0, 0, 0, 0, 0x14, 0x40, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f,  // 5.0, 1.5
      0, 0, 0, 0, 0, 0, 0x24, 0x40, 0, 0, 0, 0, 0, 0, 0x08, 0x40,  // 10.0, 3.0
      0x20, 0, 0, 0};
  EXPECT_EQ(read_bytes(path), expected);
  EXPECT_EQ(common::data_plot_bytes(2), 56);
  EXPECT_EQ(common::data_plot_bytes(1), 40);
}

TEST_F(PlotFiles, StartRecordsAreFullAndPutTouchesOnlyTheUsedBytes) {
  const std::string path = dir / "plots.loc";
  {
    io::DirectAccessFile out(path, "local-parameter file", common::kRecordLength, io::DirectAccessFile::Mode::create);
    common::StartRecord reals{};
    for (int i = 0; i < common::kRecordReals; ++i) reals[static_cast<std::size_t>(i)] = 100.0 + i;
    common::write_start_record(out, 1, 301, reals);
    common::write_start_record(out, 2, -5, reals);
  }
  const std::vector<unsigned char> before = read_bytes(path);
  ASSERT_EQ(before.size(), 2u * 748u);
  EXPECT_EQ(common::load_i32(&before[748]), -5);
  EXPECT_EQ(common::load_f64(&before[4 + 8 * 92]), 192.0);

  sizes.ng = 2;
  sizes.nl = 2;
  derive_sizes(sizes);
  files.locals_unit = 3;
  io::open_direct(3, path, "local-parameter file", common::kRecordLength, io::DirectAccessFile::Mode::read_write_existing);
  Locals locals{};
  WorkBlock block{};
  LocalFactor factor{};
  get(2, locals, block, factor);
  EXPECT_EQ(esde.plot_id, -5);
  EXPECT_EQ(locals[0], 100.0);
  EXPECT_EQ(block[0], 102.0);  // work block follows the two locals
  EXPECT_EQ(factor[0], 108.0);  // after 2 + 6 reals
  for (double& x : locals) x = -1.0;
  for (double& x : block) x = -2.0;
  for (double& x : factor) x = -3.0;
  put(2, locals, block, factor);
  io::close_units();
  const std::vector<unsigned char> after = read_bytes(path);
  EXPECT_TRUE(std::equal(before.begin(), before.begin() + 748, after.begin())) << "record 1 untouched";
  EXPECT_TRUE(std::equal(before.begin() + 748 + 92, before.end(), after.begin() + 748 + 92)) << "bytes 92..747 untouched";
  EXPECT_EQ(common::load_i32(&after[748]), -5);
  EXPECT_EQ(common::load_f64(&after[748 + 4]), -1.0);
  EXPECT_EQ(common::load_f64(&after[748 + 4 + 8 * 2]), -2.0);
  EXPECT_EQ(common::load_f64(&after[748 + 84]), -3.0);
}

TEST_F(PlotFiles, ShortRecordReadsAsZerosAndMissingRecordFails) {
  std::vector<unsigned char> bytes(748 + 12, 0);
  common::store_i32(&bytes[748], 42);
  common::store_f64(&bytes[752], 2.5);
  const std::string path = dir.write_bytes("short.loc", bytes);
  sizes.ng = 4;
  sizes.nl = 1;
  derive_sizes(sizes);
  io::open_direct(3, path, "local-parameter file", common::kRecordLength, io::DirectAccessFile::Mode::read_write_existing);
  Locals locals{};
  WorkBlock block;
  block.fill(9.0);
  LocalFactor factor;
  factor.fill(9.0);
  get(2, locals, block, factor);
  EXPECT_EQ(esde.plot_id, 42);
  EXPECT_EQ(locals[0], 2.5);
  for (int i = 0; i < sizes.nwork; ++i) EXPECT_EQ(block[static_cast<std::size_t>(i)], 0.0);
  EXPECT_EQ(factor[0], 0.0);
  EXPECT_THROW(get(3, locals, block, factor), io::IoError);
}

TEST_F(PlotFiles, RdataRewindsAtPlotOneAndChecksIdentifiers) {
  const std::string path = data_file({{301, {3.0, 5.0}, {4.5, 10.9}}, {303, {3.0}, {4.6}}});
  files.data_unit = 2;
  io::open_sequential_in(2, path, "data file");
  Measurements t{}, h{};
  int id = 0, n = 0;
  esde.plot_id = 301;
  rdata(1, id, n, t, h);
  EXPECT_EQ(id, 301);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(h[1], 10.9);
  esde.plot_id = 303;
  rdata(7, id, n, t, h);  // any position but 1 reads the next plot
  EXPECT_EQ(n, 1);
  EXPECT_EQ(t[0], 3.0);
  esde.plot_id = 301;
  rdata(1, id, n, t, h);
  EXPECT_EQ(id, 301);
  esde.plot_id = 999;
  const std::string out = console_output([&] { EXPECT_THROW(rdata(2, id, n, t, h), io::Stop); });
  EXPECT_EQ(out, " *** RDATA: Bad plot ID, should not happen  ***\n");
  esde.plot_id = 301;
  rdata(1, id, n, t, h);
  esde.plot_id = 303;
  rdata(2, id, n, t, h);
  EXPECT_THROW(rdata(3, id, n, t, h), io::IoError) << "past the last plot";
}

TEST_F(PlotFiles, RdataRefusesMorePlotMeasurementsThanItHolds) {
  const std::string path = dir / "big.dat";
  {
    io::SequentialWriter out(path, "data file");
    std::vector<double> t(120, 1.0), h(120, 1.0);
    unsigned char header[8];
    common::store_i32(header, 55);
    common::store_i32(header + 4, 120);
    out.write_record(header, 8);
    std::vector<unsigned char> payload(16 * 120, 0);
    out.write_record(payload.data(), static_cast<std::int32_t>(payload.size()));
    out.finish();
  }
  files.data_unit = 2;
  io::open_sequential_in(2, path, "data file");
  Measurements t{}, h{};
  int id = 0, n = 0;
  esde.plot_id = 55;
  const std::string out = console_output([&] { EXPECT_THROW(rdata(1, id, n, t, h), io::Stop); });
  EXPECT_EQ(out, " *** RDATA: Plot 1 (ID 55) has 120 measurements; a plot must have 1 to 99 ***\n");
}

TEST_F(PlotFiles, RdataRefusesARecordShorterThanItsCount) {
  const std::string path = dir / "cut.dat";
  {
    io::SequentialWriter out(path, "data file");
    unsigned char header[8];
    common::store_i32(header, 8);
    common::store_i32(header + 4, 3);
    out.write_record(header, 8);
    std::vector<unsigned char> payload(16 * 2, 0);  // two pairs where three are due
    out.write_record(payload.data(), 32);
    out.finish();
  }
  files.data_unit = 2;
  io::open_sequential_in(2, path, "data file");
  Measurements t{}, h{};
  int id = 0, n = 0;
  esde.plot_id = 8;
  EXPECT_THROW(rdata(1, id, n, t, h), io::IoError);
}

}  // namespace
