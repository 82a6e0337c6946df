// Binary files of the plot data.
//
// SequentialReader / SequentialWriter: framed records, each stored as a
// 4-byte little-endian length L, L bytes of payload and L again.
// DirectAccessFile: fixed-length records reached by record number, counted
// from 1; a record that the end of the file cuts short reads as if the
// missing bytes were zero.
// Offsets are 64-bit throughout, so files beyond 2 GiB work.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace io {

class SequentialReader {
 public:
  SequentialReader(const std::string& path, const std::string& role);
  ~SequentialReader();
  SequentialReader(const SequentialReader&) = delete;
  SequentialReader& operator=(const SequentialReader&) = delete;

  void rewind();
  // Starts the next record; false when the file ends exactly before it.
  bool start_record();
  std::int32_t record_length() const { return length_; }
  // Takes n bytes of the current record's payload.
  void take(unsigned char* dst, std::int64_t n);
  // Skips what is left of the payload and the trailing length word.
  void finish_record();

  const std::string& role() const { return role_; }
  std::int64_t record_start() const { return record_start_; }

 private:
  std::int64_t fill(unsigned char* dst, std::int64_t n);  // bytes actually read
  std::int64_t skip(std::int64_t n);                      // bytes actually skipped
  [[noreturn]] void truncated(const char* where) const;

  int fd_ = -1;
  std::string role_;
  std::vector<unsigned char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::int64_t offset_ = 0;        // file offset of buffer_[begin_]
  std::int64_t size_ = 0;          // bytes in the file
  std::int64_t record_start_ = 0;  // file offset of the current length word
  std::int32_t length_ = 0;
  std::int64_t remaining_ = 0;
};

class SequentialWriter {
 public:
  // Creates the file if absent; an existing file is overwritten from its
  // start and cut to what was written when finish() is called.
  SequentialWriter(const std::string& path, const std::string& role);
  ~SequentialWriter();
  SequentialWriter(const SequentialWriter&) = delete;
  SequentialWriter& operator=(const SequentialWriter&) = delete;

  void write_record(const unsigned char* payload, std::int32_t length);
  // Writes out what is buffered and cuts the file after the last record.
  void finish();

 private:
  void flush();

  int fd_ = -1;
  std::string role_;
  std::vector<unsigned char> buffer_;
  std::int64_t written_ = 0;  // bytes of records accepted so far
  std::int64_t flushed_ = 0;  // bytes already on disk
};

// Records are reached through a cache of three blocks of consecutive
// records: passes that visit the records in order (also with reads running a
// block ahead of writes) cost one read and at most one write per block. The
// blocks are small enough to stay in the processor's cache between the read
// and the use of their records. A write
// changes the cache; the changed span of a block goes back to the file when
// the block leaves the cache, on flush(), and on destruction.
class DirectAccessFile {
 public:
  // read_only: an existing file opened without write permission; write()
  // and truncate() refuse.
  enum class Mode { read_write_existing, create, read_only };
  DirectAccessFile(const std::string& path, const std::string& role, int record_length, Mode mode,
                   int block_records = kDefaultBlockRecords);
  ~DirectAccessFile();
  DirectAccessFile(const DirectAccessFile&) = delete;
  DirectAccessFile& operator=(const DirectAccessFile&) = delete;

  static constexpr int kDefaultBlockRecords = 256;

  // Reads record_length bytes of record `record`; zeros where the file ends.
  void read(std::int64_t record, unsigned char* dst);
  // The same bytes in place, valid until the next call on this file.
  const unsigned char* view(std::int64_t record);
  // Writes the first `count` bytes of record `record`; the rest stays.
  void write(std::int64_t record, const unsigned char* src, int count);
  // Writes out what has changed.
  void flush();
  // Cuts the file after `records` records.
  void truncate(std::int64_t records);
  std::int64_t records_in_file() const;
  // Fails (the file is damaged) when its length is not a whole number of records.
  void require_whole_records() const;

  // Straight between the file and the caller's memory, past the cache, for
  // passes that spread the records over threads: each call touches only its
  // own records, so calls on distinct records may run at once on any thread.
  // forget() first: it writes out the cache and drops it, so that later
  // reads see what these calls wrote.
  void forget();
  // Records first .. first+count-1 (count * record_length bytes; zeros where
  // the file ends); returns how many of them begin before the end of the file.
  std::int64_t read_span(std::int64_t first, std::int64_t count, unsigned char* dst) const;
  // `bytes` bytes from the start of record `first`.
  void write_span(std::int64_t first, const unsigned char* src, std::int64_t bytes);
  // Stops with the message for a record the file does not hold.
  [[noreturn]] void refuse_record(std::int64_t record) const;

  const std::string& role() const { return role_; }

 private:
  struct CachedBlock {
    std::vector<unsigned char> bytes;
    std::int64_t block = -1;
    std::int64_t dirty_begin = 0;  // changed byte span within the block
    std::int64_t dirty_end = 0;
    std::uint64_t used = 0;  // for choosing the block to evict
  };
  void flush(CachedBlock& c);
  CachedBlock& cached(std::int64_t block);
  unsigned char* slot(std::int64_t record, CachedBlock*& holder);

  int fd_ = -1;
  std::string role_;
  bool read_only_;
  int record_length_;
  // Bytes in the file, counting changes not yet written; atomic since record
  // spans written from several threads may lengthen a file cut short.
  std::atomic<std::int64_t> size_{0};
  std::int64_t block_records_;
  std::array<CachedBlock, 3> cache_;
  std::uint64_t clock_ = 0;
};

}  // namespace io
