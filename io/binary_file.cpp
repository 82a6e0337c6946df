#include "io/binary_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/byte_order.hpp"
#include "io/errors.hpp"

namespace io {
namespace {

constexpr std::size_t kBufferBytes = 1 << 20;

int open_file(const std::string& path, const std::string& role, int flags) {
  if (path.empty()) fail("no file name given for the " + role);
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) fail("cannot open the " + role + " '" + path + "': " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    fail("cannot open the " + role + " '" + path + "': it is a directory");
  }
  return fd;
}

std::string named(const std::string& role, const std::string& path) { return role + " '" + path + "'"; }

void write_all(int fd, const unsigned char* p, std::size_t n, std::int64_t offset, const std::string& role) {
  while (n > 0) {
    const ssize_t k = ::pwrite(fd, p, n, offset);
    if (k < 0) {
      if (errno == EINTR) continue;
      fail("cannot write the " + role + ": " + std::strerror(errno));
    }
    p += k;
    n -= static_cast<std::size_t>(k);
    offset += k;
  }
}

}  // namespace

// ---------------------------------------------------------------- reading

SequentialReader::SequentialReader(const std::string& path, std::string role)
    : fd_(open_file(path, role, O_RDONLY)), role_(named(role, path)), buffer_(kBufferBytes) {}

SequentialReader::~SequentialReader() {
  if (fd_ >= 0) ::close(fd_);
}

void SequentialReader::rewind() {
  begin_ = end_ = 0;
  offset_ = 0;
  remaining_ = 0;
  length_ = 0;
}

std::int64_t SequentialReader::fill(unsigned char* dst, std::int64_t n) {
  std::int64_t got = 0;
  while (got < n) {
    if (begin_ == end_) {
      ssize_t k;
      do {
        k = ::pread(fd_, buffer_.data(), buffer_.size(), offset_);
      } while (k < 0 && errno == EINTR);
      if (k < 0) fail("cannot read the " + role_ + ": " + std::strerror(errno));
      if (k == 0) break;
      begin_ = 0;
      end_ = static_cast<std::size_t>(k);
    }
    const std::size_t take = std::min<std::size_t>(end_ - begin_, static_cast<std::size_t>(n - got));
    if (dst != nullptr) std::memcpy(dst + got, buffer_.data() + begin_, take);
    begin_ += take;
    offset_ += static_cast<std::int64_t>(take);
    got += static_cast<std::int64_t>(take);
  }
  return got;
}

void SequentialReader::truncated(const char* where) const {
  fail(role_ + " ends in the middle of the record that starts at byte " + std::to_string(record_start_) + " (" +
       where + ")");
}

bool SequentialReader::start_record() {
  record_start_ = offset_;
  unsigned char word[4];
  const std::int64_t got = fill(word, 4);
  if (got == 0) return false;
  if (got < 4) truncated("in its length word");
  length_ = common::load_i32(word);
  if (length_ < 0) fail(role_ + ": the record at byte " + std::to_string(record_start_) + " has a negative length " + std::to_string(length_) + "; the file is damaged or not a data file");
  remaining_ = length_;
  return true;
}

void SequentialReader::take(unsigned char* dst, std::int64_t n) {
  if (n > remaining_)
    fail(role_ + ": the record at byte " + std::to_string(record_start_) + " holds " + std::to_string(length_) +
         " bytes, fewer than the " + std::to_string(length_ - remaining_ + n) + " needed");
  if (fill(dst, n) < n) truncated("in its payload");
  remaining_ -= n;
}

void SequentialReader::finish_record() {
  if (fill(nullptr, remaining_ + 4) < remaining_ + 4) truncated("before its closing length word");
  remaining_ = 0;
}

// ---------------------------------------------------------------- writing

SequentialWriter::SequentialWriter(const std::string& path, std::string role)
    : fd_(open_file(path, role, O_WRONLY | O_CREAT)), role_(named(role, path)) {
  buffer_.reserve(kBufferBytes);
}

SequentialWriter::~SequentialWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void SequentialWriter::flush() {
  write_all(fd_, buffer_.data(), buffer_.size(), flushed_, role_);
  flushed_ += static_cast<std::int64_t>(buffer_.size());
  buffer_.clear();
}

void SequentialWriter::write_record(const unsigned char* payload, std::int32_t length) {
  const std::size_t total = static_cast<std::size_t>(length) + 8;
  if (buffer_.size() + total > kBufferBytes) flush();
  unsigned char word[4];
  common::store_i32(word, length);
  buffer_.insert(buffer_.end(), word, word + 4);
  buffer_.insert(buffer_.end(), payload, payload + length);
  buffer_.insert(buffer_.end(), word, word + 4);
  written_ += static_cast<std::int64_t>(total);
}

void SequentialWriter::finish() {
  flush();
  if (::ftruncate(fd_, written_) != 0) fail("cannot shorten the " + role_ + ": " + std::strerror(errno));
}

// ---------------------------------------------------------------- direct access

DirectAccessFile::DirectAccessFile(const std::string& path, std::string role, int record_length, Mode mode,
                                   int block_records)
    : fd_(open_file(path, role, mode == Mode::create ? (O_RDWR | O_CREAT) : O_RDWR)),
      role_(named(role, path)),
      record_length_(record_length),
      block_records_(block_records),
      cache_(static_cast<std::size_t>(record_length) * static_cast<std::size_t>(block_records)) {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) fail("cannot examine the " + role_ + ": " + std::strerror(errno));
  size_ = st.st_size;
}

DirectAccessFile::~DirectAccessFile() {
  try {
    flush();
  } catch (const IoError&) {
  }
  if (fd_ >= 0) ::close(fd_);
}

std::int64_t DirectAccessFile::records_in_file() const {
  return (size_ + record_length_ - 1) / record_length_;
}

void DirectAccessFile::flush() {
  if (dirty_end_ > dirty_begin_) {
    const std::int64_t base = cached_block_ * block_records_ * record_length_;
    write_all(fd_, cache_.data() + dirty_begin_, static_cast<std::size_t>(dirty_end_ - dirty_begin_),
              base + dirty_begin_, role_);
  }
  dirty_begin_ = dirty_end_ = 0;
}

void DirectAccessFile::load_block(std::int64_t block) {
  flush();
  cached_block_ = -1;
  const std::int64_t base = block * block_records_ * record_length_;
  std::size_t got = 0;
  const std::size_t want = cache_.size();
  while (got < want) {
    const ssize_t k = ::pread(fd_, cache_.data() + got, want - got, base + static_cast<std::int64_t>(got));
    if (k < 0) {
      if (errno == EINTR) continue;
      fail("cannot read the " + role_ + ": " + std::strerror(errno));
    }
    if (k == 0) break;
    got += static_cast<std::size_t>(k);
  }
  std::memset(cache_.data() + got, 0, want - got);
  cached_block_ = block;
}

unsigned char* DirectAccessFile::slot(std::int64_t record) {
  const std::int64_t block = (record - 1) / block_records_;
  if (block != cached_block_) load_block(block);
  return cache_.data() + ((record - 1) % block_records_) * record_length_;
}

void DirectAccessFile::read(std::int64_t record, unsigned char* dst) {
  const std::int64_t offset = (record - 1) * record_length_;
  if (record < 1 || offset >= size_)
    fail(role_ + ": record " + std::to_string(record) + " was asked for, but the file holds only " +
         std::to_string(records_in_file()) + " records of " + std::to_string(record_length_) + " bytes");
  const unsigned char* p = slot(record);
  std::memcpy(dst, p, static_cast<std::size_t>(record_length_));
  // A record that the end of the file cuts short reads as zeros beyond it.
  const std::int64_t present = size_ - offset;
  if (present < record_length_) std::memset(dst + present, 0, static_cast<std::size_t>(record_length_ - present));
}

void DirectAccessFile::write(std::int64_t record, const unsigned char* src, int count) {
  if (record < 1) fail(role_ + ": record " + std::to_string(record) + " cannot be written");
  unsigned char* p = slot(record);
  std::memcpy(p, src, static_cast<std::size_t>(count));
  const std::int64_t begin = p - cache_.data();
  const std::int64_t end = begin + count;
  if (dirty_end_ == dirty_begin_) {
    dirty_begin_ = begin;
    dirty_end_ = end;
  } else {
    dirty_begin_ = std::min(dirty_begin_, begin);
    dirty_end_ = std::max(dirty_end_, end);
  }
  const std::int64_t offset = (record - 1) * record_length_;
  if (offset + count > size_) size_ = offset + count;
}

void DirectAccessFile::truncate(std::int64_t records) {
  flush();
  cached_block_ = -1;
  const std::int64_t size = records * record_length_;
  if (::ftruncate(fd_, size) != 0) fail("cannot shorten the " + role_ + ": " + std::strerror(errno));
  size_ = size;
}

}  // namespace io
