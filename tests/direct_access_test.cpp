// The block cache of direct-access files leaves exactly the bytes that
// writing record by record would leave.
#include <gtest/gtest.h>

#include <random>

#include "io/binary_file.hpp"
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
