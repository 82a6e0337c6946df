// The block cache of direct-access files leaves exactly the bytes that
// writing record by record would leave.
#include <gtest/gtest.h>

#include <random>

#include <cstdio>
#include <filesystem>

#include <unistd.h>

#include "io/binary_file.hpp"
#include "io/byte_order.hpp"
#include "io/errors.hpp"
#include "support/temp_dir.hpp"

namespace {

TEST(DirectAccessFile, CachedWritesMatchRecordByRecordWrites) {
  TempDir dir;
  std::mt19937 rng(3);
  constexpr int kLength = 10;
  for (int trial = 0; trial < 40; ++trial) {
    // A file of a few records, the last one possibly cut short.
    std::vector<unsigned char> model(static_cast<std::size_t>(std::uniform_int_distribution<int>(0, 75)(rng)));
    for (unsigned char& b : model) b = static_cast<unsigned char>(rng());
    const std::string path = dir.write_bytes("f.bin", model);
    {
      io::DirectAccessFile file(path, "test file", kLength, io::DirectAccessFile::Mode::read_write_existing,
                                1 + trial % 4);
      for (int op = 0; op < 30; ++op) {
        const std::int64_t record = std::uniform_int_distribution<int>(1, 9)(rng);
        const std::size_t offset = static_cast<std::size_t>((record - 1) * kLength);
        if (rng() % 2) {
          const int count = std::uniform_int_distribution<int>(1, kLength)(rng);
          std::vector<unsigned char> bytes(static_cast<std::size_t>(count));
          for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
          file.write(record, bytes.data(), count);
          if (model.size() < offset + bytes.size()) model.resize(offset + bytes.size(), 0);
          std::copy(bytes.begin(), bytes.end(), model.begin() + static_cast<std::ptrdiff_t>(offset));
        } else if (offset < model.size()) {
          std::vector<unsigned char> got(kLength);
          file.read(record, got.data());
          for (std::size_t k = 0; k < kLength; ++k)
            ASSERT_EQ(got[k], offset + k < model.size() ? model[offset + k] : 0) << "trial " << trial;
        } else {
          std::vector<unsigned char> got(kLength);
          EXPECT_THROW(file.read(record, got.data()), io::IoError);
        }
      }
    }
    ASSERT_EQ(read_bytes(path), model) << "trial " << trial;
  }
}

}  // namespace

namespace {

void common_store(std::vector<unsigned char>& word, std::int32_t v) { io::store_i32(word.data(), v); }

// Offsets are 64-bit: records and framed records beyond 2 GiB and 4 GiB
// (sparse files, so that no disk space is used).
// A second handle that would rewrite the records of a file in use is refused
// at once, naming the file; once the first is closed the file is free again.
TEST(DirectAccessFile, SecondWriterIsRefusedWhileTheFirstHoldsTheFile) {
  TempDir dir;
  const std::string path = dir / "plots.loc";
  {
    io::DirectAccessFile first(path, "local-parameter file", 748, io::DirectAccessFile::Mode::create);
    try {
      io::DirectAccessFile second(path, "local-parameter file", 748, io::DirectAccessFile::Mode::read_write_existing);
      FAIL() << "not refused";
    } catch (const io::IoError& e) {
      EXPECT_NE(std::string(e.what()).find("local-parameter file '" + path + "' is in use by another run"),
                std::string::npos)
          << e.what();
    }
  }
  {
    // Readers share the file; a writer waits for none of them and is refused.
    io::DirectAccessFile reader(path, "local-parameter file", 748, io::DirectAccessFile::Mode::read_only);
    io::DirectAccessFile other_reader(path, "local-parameter file", 748, io::DirectAccessFile::Mode::read_only);
    EXPECT_THROW(
        io::DirectAccessFile(path, "local-parameter file", 748, io::DirectAccessFile::Mode::read_write_existing),
        io::IoError);
  }
  io::DirectAccessFile again(path, "local-parameter file", 748, io::DirectAccessFile::Mode::read_write_existing);
}

TEST(LargeFiles, RecordsBeyondTwoAndFourGibibytes) {
  TempDir dir;
  const std::string path = dir / "big.loc";
  {
    io::DirectAccessFile file(path, "test file", 748, io::DirectAccessFile::Mode::create);
    file.truncate(6'000'000);  // 4.49e9 bytes
    const unsigned char a[4] = {1, 2, 3, 4};
    const unsigned char b[4] = {5, 6, 7, 8};
    file.write(2'900'000, a, 4);  // beyond 2^31 bytes
    file.write(5'999'999, b, 4);  // beyond 2^32 bytes
  }
  EXPECT_EQ(std::filesystem::file_size(path), 6'000'000ull * 748ull);
  io::DirectAccessFile file(path, "test file", 748, io::DirectAccessFile::Mode::read_write_existing);
  std::vector<unsigned char> r(748);
  file.read(2'900'000, r.data());
  EXPECT_EQ(r[3], 4);
  file.read(5'999'999, r.data());
  EXPECT_EQ(r[0], 5);
  EXPECT_THROW(file.read(6'000'001, r.data()), io::IoError);
}

TEST(LargeFiles, FramedRecordsBeyondFourGibibytes) {
  TempDir dir;
  const std::string path = dir / "big.dat";
  // Three records of 2^31 - 8 payload bytes (holes), then a small one.
  const std::int64_t big = 2147483640;
  {
    std::vector<unsigned char> word(4);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    for (int k = 0; k < 3; ++k) {
      const std::int64_t start = k * (big + 8);
      common_store(word, static_cast<std::int32_t>(big));
      std::fseek(f, static_cast<long>(start), SEEK_SET);
      std::fwrite(word.data(), 1, 4, f);
      std::fseek(f, static_cast<long>(start + 4 + big), SEEK_SET);
      std::fwrite(word.data(), 1, 4, f);
    }
    const unsigned char small[] = {4, 0, 0, 0, 42, 0, 0, 0, 4, 0, 0, 0};
    std::fseek(f, static_cast<long>(3 * (big + 8)), SEEK_SET);
    std::fwrite(small, 1, sizeof small, f);
    std::fclose(f);
  }
  io::SequentialReader in(path, "test file");
  for (int k = 0; k < 3; ++k) {
    ASSERT_TRUE(in.start_record());
    EXPECT_EQ(in.record_length(), big);
    in.finish_record();
  }
  ASSERT_TRUE(in.start_record());
  EXPECT_EQ(in.record_start(), 3 * (big + 8));
  unsigned char v[4];
  in.take(v, 4);
  EXPECT_EQ(v[0], 42);
  in.finish_record();
  EXPECT_FALSE(in.start_record());
}

}  // namespace

namespace {

// Read-only mode: the records read as they are, writes and cuts are refused,
// and the file needs no write permission (checked when not run as root, whom
// permission bits do not stop).
TEST(DirectAccessFile, ReadOnlyModeReadsAndRefusesChanges) {
  TempDir dir;
  std::vector<unsigned char> bytes(25);
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<unsigned char>(k + 1);
  const std::string path = dir.write_bytes("f.bin", bytes);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  {
    io::DirectAccessFile file(path, "test file", 10, io::DirectAccessFile::Mode::read_only);
    EXPECT_EQ(file.records_in_file(), 3);
    std::vector<unsigned char> r(10);
    file.read(3, r.data());
    EXPECT_EQ(r[4], 25);
    EXPECT_EQ(r[5], 0);  // cut short by the end of the file
    EXPECT_THROW(file.write(1, r.data(), 10), io::IoError);
    EXPECT_THROW(file.truncate(1), io::IoError);
  }
  EXPECT_EQ(read_bytes(path), bytes);
  if (::geteuid() != 0) {
    EXPECT_THROW(io::DirectAccessFile(path, "test file", 10, io::DirectAccessFile::Mode::read_write_existing),
                 io::IoError);
  }
}

}  // namespace
