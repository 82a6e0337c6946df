#include "io/text_writer.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "io/errors.hpp"
#include "io/replaced_file.hpp"

namespace io {

TextWriter::TextWriter() : stream_(stdout), role_("standard output") {}

TextWriter::TextWriter(const std::string& path, std::string role) : path_(path), role_(std::move(role)) {
  if (path.empty()) fail("no file name given for the " + role_);
  target_ = replacement_target(path);
  const int fd = create_temporary(target_, temp_path_, role_);
  stream_ = ::fdopen(fd, "w");
  if (stream_ == nullptr) {
    ::close(fd);
    discard();
    fail("cannot write the " + role_ + " '" + path + "'");
  }
}

TextWriter::~TextWriter() {
  if (!temp_path_.empty() && stream_ != nullptr) {
    std::fclose(stream_);
    discard();
  }
}

void TextWriter::discard() {
  ::unlink(temp_path_.c_str());
  forget_temporary(temp_path_);
  temp_path_.clear();
}

void TextWriter::put(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size())
    fail("cannot write the " + role_ + (path_.empty() ? "" : " '" + path_ + "'") + ": " + std::strerror(errno));
}

void TextWriter::write(const Format& format, const Items& items) {
  buffer_.clear();
  format.write(buffer_, items);
  put(buffer_);
}

void TextWriter::line(std::string_view text) {
  buffer_.assign(1, ' ');
  buffer_.append(text);
  buffer_ += '\n';
  put(buffer_);
}

void TextWriter::empty_line() { put("\n"); }

void TextWriter::flush() {
  if (std::fflush(stream_) != 0) fail("cannot write the " + role_);
}

void TextWriter::commit() {
  if (temp_path_.empty()) {
    if (std::fflush(stream_) != 0) fail("cannot write the " + role_);
    return;
  }
  std::FILE* stream = stream_;
  stream_ = nullptr;
  const bool ok = std::fflush(stream) == 0 && ::fsync(::fileno(stream)) == 0;
  const bool closed = std::fclose(stream) == 0;
  if (!ok || !closed || std::rename(temp_path_.c_str(), target_.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    discard();
    fail("cannot write the " + role_ + " '" + path_ + "': " + reason);
  }
  forget_temporary(temp_path_);
  temp_path_.clear();
}

TextWriter& console() {
  static TextWriter writer;
  return writer;
}

}  // namespace io
