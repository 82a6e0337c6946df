#include "io/binary_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io/byte_order.hpp"
#include "io/errors.hpp"

namespace io {
namespace {

// Small enough to stay in the processor's cache beside the plots being
// evaluated while the file is read.
constexpr std::size_t kBufferBytes = 1 << 16;

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

int open_flags(DirectAccessFile::Mode mode) {
  switch (mode) {
    case DirectAccessFile::Mode::create:
      return O_RDWR | O_CREAT;
    case DirectAccessFile::Mode::read_only:
      return O_RDONLY;
    case DirectAccessFile::Mode::read_write_existing:
      break;
  }
  return O_RDWR;
}

std::string named(const std::string& role, const std::string& path) { return role + " '" + path + "'"; }

// Two programs that rewrite one file's records would corrupt each other's
// work, and a reader would see records half rewritten: the file is locked for
// the life of its handle (shared by readers, exclusive for a writer), and a
// program that cannot have its lock at once is refused.
void lock(int fd, const std::string& role, bool exclusive) {
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return;
  const int error = errno;
  ::close(fd);
  if (error == EWOULDBLOCK)
    fail("the " + role + " is in use by another run (an estimator or preparer working on it); wait until it ends");
  fail("cannot lock the " + role + ": " + std::strerror(error));
}

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

SequentialReader::SequentialReader(const std::string& path, const std::string& role)
    : fd_(open_file(path, role, O_RDONLY)), role_(named(role, path)), buffer_(kBufferBytes) {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) fail("cannot examine the " + role_ + ": " + std::strerror(errno));
  size_ = st.st_size;
}

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

// Skips n bytes: what is buffered, then the rest by moving the offset.
std::int64_t SequentialReader::skip(std::int64_t n) {
  const std::int64_t buffered = static_cast<std::int64_t>(end_ - begin_);
  if (n <= buffered) return fill(nullptr, n);
  const std::int64_t from = offset_;
  const std::int64_t reached = std::min(from + n, std::max(size_, from + buffered));
  begin_ = end_;
  offset_ = reached;
  return reached - from;
}

void SequentialReader::truncated(const char* where) const {
  fail(role_ + " ends in the middle of the record that starts at byte " + std::to_string(record_start_) + " (" + where +
       ")");
}

bool SequentialReader::start_record() {
  record_start_ = offset_;
  unsigned char word[4];
  const std::int64_t got = fill(word, 4);
  if (got == 0) return false;
  if (got < 4) truncated("in its length word");
  length_ = io::load_i32(word);
  if (length_ < 0)
    fail(role_ + ": the record at byte " + std::to_string(record_start_) + " has a negative length " +
         std::to_string(length_) + "; the file is damaged or not a data file");
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
  if (skip(remaining_ + 4) < remaining_ + 4) truncated("before its closing length word");
  remaining_ = 0;
}

// ---------------------------------------------------------------- writing

SequentialWriter::SequentialWriter(const std::string& path, const std::string& role)
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
  io::store_i32(word, length);
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

DirectAccessFile::DirectAccessFile(const std::string& path, const std::string& role, int record_length, Mode mode,
                                   int block_records)
    : fd_(open_file(path, role, open_flags(mode))),
      role_(named(role, path)),
      read_only_(mode == Mode::read_only),
      record_length_(record_length),
      block_records_(block_records) {
  lock(fd_, role_, !read_only_);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) fail("cannot examine the " + role_ + ": " + std::strerror(errno));
  size_ = st.st_size;
  for (CachedBlock& c : cache_)
    c.bytes.resize(static_cast<std::size_t>(record_length) * static_cast<std::size_t>(block_records));
}

DirectAccessFile::~DirectAccessFile() {
  try {
    flush();
  } catch (const IoError&) {
  }
  if (fd_ >= 0) ::close(fd_);
}

std::int64_t DirectAccessFile::records_in_file() const { return (size_ + record_length_ - 1) / record_length_; }

void DirectAccessFile::require_whole_records() const {
  const std::int64_t extra = size_ % record_length_;
  if (extra == 0) return;
  fail("the " + role_ + " is damaged: its " + std::to_string(size_) + " bytes are " +
       std::to_string(size_ / record_length_) + " records of " + std::to_string(record_length_) + " bytes and " +
       std::to_string(extra) + " bytes more; a plot file holds whole records");
}

void DirectAccessFile::flush(CachedBlock& c) {
  if (c.dirty_end > c.dirty_begin) {
    const std::int64_t base = c.block * block_records_ * record_length_;
    write_all(fd_, c.bytes.data() + c.dirty_begin, static_cast<std::size_t>(c.dirty_end - c.dirty_begin),
              base + c.dirty_begin, role_);
  }
  c.dirty_begin = c.dirty_end = 0;
}

void DirectAccessFile::flush() {
  for (CachedBlock& c : cache_) flush(c);
}

DirectAccessFile::CachedBlock& DirectAccessFile::cached(std::int64_t block) {
  for (CachedBlock& c : cache_) {
    if (c.block == block) {
      c.used = ++clock_;
      return c;
    }
  }
  CachedBlock* oldest = &cache_[0];
  for (CachedBlock& c : cache_)
    if (c.used < oldest->used) oldest = &c;
  CachedBlock& c = *oldest;
  flush(c);
  c.block = -1;
  read_span(block * block_records_ + 1, block_records_, c.bytes.data());
  c.block = block;
  c.used = ++clock_;
  return c;
}

unsigned char* DirectAccessFile::slot(std::int64_t record, CachedBlock*& holder) {
  holder = &cached((record - 1) / block_records_);
  return holder->bytes.data() + ((record - 1) % block_records_) * record_length_;
}

void DirectAccessFile::refuse_record(std::int64_t record) const {
  fail(role_ + ": record " + std::to_string(record) + " was asked for, but the file holds only " +
       std::to_string(records_in_file()) + " records of " + std::to_string(record_length_) + " bytes");
}

void DirectAccessFile::forget() {
  flush();
  for (CachedBlock& c : cache_) c.block = -1;
}

std::int64_t DirectAccessFile::read_span(std::int64_t first, std::int64_t count, unsigned char* dst) const {
  const std::int64_t base = (first - 1) * record_length_;
  const std::size_t want = static_cast<std::size_t>(count * record_length_);
  std::size_t got = 0;
  while (got < want) {
    const ssize_t k = ::pread(fd_, dst + got, want - got, base + static_cast<std::int64_t>(got));
    if (k < 0) {
      if (errno == EINTR) continue;
      fail("cannot read the " + role_ + ": " + std::strerror(errno));
    }
    if (k == 0) break;
    got += static_cast<std::size_t>(k);
  }
  std::memset(dst + got, 0, want - got);
  return (static_cast<std::int64_t>(got) + record_length_ - 1) / record_length_;
}

void DirectAccessFile::write_span(std::int64_t first, const unsigned char* src, std::int64_t bytes) {
  const std::int64_t offset = (first - 1) * record_length_;
  if (first < 1 || read_only_)
    fail(role_ + ": records from " + std::to_string(first) + " cannot be written" +
         (read_only_ ? " (the file is open for reading only)" : ""));
  write_all(fd_, src, static_cast<std::size_t>(bytes), offset, role_);
  for (std::int64_t size = size_.load(); offset + bytes > size && !size_.compare_exchange_weak(size, offset + bytes);) {
  }
}

const unsigned char* DirectAccessFile::view(std::int64_t record) {
  const std::int64_t offset = (record - 1) * record_length_;
  if (record < 1 || offset >= size_) refuse_record(record);
  // The cache holds zeros beyond the end of the file: a record that the end
  // cuts short reads as zeros there.
  CachedBlock* holder = nullptr;
  return slot(record, holder);
}

void DirectAccessFile::read(std::int64_t record, unsigned char* dst) {
  std::memcpy(dst, view(record), static_cast<std::size_t>(record_length_));
}

void DirectAccessFile::write(std::int64_t record, const unsigned char* src, int count) {
  if (record < 1 || read_only_)
    fail(role_ + ": record " + std::to_string(record) + " cannot be written" +
         (read_only_ ? " (the file is open for reading only)" : ""));
  CachedBlock* c = nullptr;
  unsigned char* p = slot(record, c);
  std::memcpy(p, src, static_cast<std::size_t>(count));
  const std::int64_t begin = p - c->bytes.data();
  const std::int64_t end = begin + count;
  if (c->dirty_end == c->dirty_begin) {
    c->dirty_begin = begin;
    c->dirty_end = end;
  } else {
    c->dirty_begin = std::min(c->dirty_begin, begin);
    c->dirty_end = std::max(c->dirty_end, end);
  }
  const std::int64_t offset = (record - 1) * record_length_;
  if (offset + count > size_) size_ = offset + count;
}

void DirectAccessFile::truncate(std::int64_t records) {
  if (read_only_) fail(role_ + " cannot be shortened: the file is open for reading only");
  flush();
  for (CachedBlock& c : cache_) c.block = -1;
  const std::int64_t size = records * record_length_;
  if (::ftruncate(fd_, size) != 0) fail("cannot shorten the " + role_ + ": " + std::strerror(errno));
  size_ = size;
}

}  // namespace io
