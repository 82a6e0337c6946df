#include "io/free_form_reader.hpp"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "io/errors.hpp"

namespace io {
namespace {

bool is_separator(char ch) { return ch == ' ' || ch == '\t' || ch == ',' || ch == '\r' || ch == '\n'; }
bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

// An optionally signed digit string.
bool integer_syntax(std::string_view t) {
  std::size_t p = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  if (p == t.size()) return false;
  for (; p < t.size(); ++p)
    if (!is_digit(t[p])) return false;
  return true;
}

// [sign] (digits [. [digits]] | . digits) [(E|D) [sign] digits]
bool real_syntax(std::string_view t) {
  std::size_t p = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  std::size_t mantissa_digits = 0;
  while (p < t.size() && is_digit(t[p])) ++p, ++mantissa_digits;
  if (p < t.size() && t[p] == '.') {
    ++p;
    while (p < t.size() && is_digit(t[p])) ++p, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return false;
  if (p == t.size()) return true;
  if (t[p] != 'E' && t[p] != 'e' && t[p] != 'D' && t[p] != 'd') return false;
  ++p;
  if (p < t.size() && (t[p] == '+' || t[p] == '-')) ++p;
  if (p == t.size()) return false;
  for (; p < t.size(); ++p)
    if (!is_digit(t[p])) return false;
  return true;
}

}  // namespace

FreeFormReader::FreeFormReader(const std::string& path, std::string role) : owned_(true), role_(std::move(role)) {
  if (path.empty()) fail("no file name given for the " + role_);
  stream_ = std::fopen(path.c_str(), "r");
  if (stream_ == nullptr) fail("cannot open the " + role_ + " '" + path + "': " + std::strerror(errno));
  role_ += " '" + path + "'";
}

FreeFormReader::FreeFormReader(std::FILE* stream, std::string role) : stream_(stream), role_(std::move(role)) {}

FreeFormReader::~FreeFormReader() {
  std::free(buf_);
  if (owned_ && stream_ != nullptr) std::fclose(stream_);
}

bool FreeFormReader::fetch_line() {
  const ssize_t n = ::getline(&buf_, &cap_, stream_);
  if (n < 0) {
    if (std::ferror(stream_)) fail("cannot read the " + role_ + " after line " + std::to_string(line_no_));
    in_line_ = false;
    return false;
  }
  std::size_t len = static_cast<std::size_t>(n);
  if (len > 0 && buf_[len - 1] == '\n') --len;
  if (len > 0 && buf_[len - 1] == '\r') --len;
  line_ = std::string_view(buf_, len);
  pos_ = 0;
  in_line_ = true;
  ++line_no_;
  return true;
}

void FreeFormReader::begin() { in_line_ = false; }

bool FreeFormReader::line(std::string& text) {
  if (!fetch_line()) return false;
  text.assign(line_);
  in_line_ = false;
  return true;
}

bool FreeFormReader::skip_line() {
  if (!fetch_line()) return false;
  in_line_ = false;
  return true;
}

bool FreeFormReader::token(std::string_view& out) {
  for (;;) {
    if (in_line_) {
      while (pos_ < line_.size() && is_separator(line_[pos_])) ++pos_;
      if (pos_ < line_.size()) break;
    }
    if (!fetch_line()) return false;
  }
  const std::size_t start = pos_;
  while (pos_ < line_.size() && !is_separator(line_[pos_])) ++pos_;
  out = line_.substr(start, pos_ - start);
  return true;
}

FreeFormReader::Status FreeFormReader::bad(std::string_view token, std::string_view expected, std::string_view what) {
  failure_ = role_ + ", line " + std::to_string(line_no_) + ": expected " + std::string(expected) + " for " +
             std::string(what) + ", found " + quoted(std::string(token));
  return Status::bad_value;
}

FreeFormReader::Status FreeFormReader::next(int& value, std::string_view what) {
  std::string_view t;
  if (!token(t)) {
    failure_ = role_ + " ends (after line " + std::to_string(line_no_) + ") where an integer for " + std::string(what) +
               " was expected";
    return Status::end_of_file;
  }
  if (!integer_syntax(t)) return bad(t, "an integer", what);
  const char* first = t.data() + (t[0] == '+' ? 1 : 0);
  int v = 0;
  const auto [ptr, ec] = std::from_chars(first, t.data() + t.size(), v);
  if (ec != std::errc() || ptr != t.data() + t.size()) return bad(t, "an integer of at most 10 digits", what);
  value = v;
  return Status::ok;
}

FreeFormReader::Status FreeFormReader::next(double& value, std::string_view what) {
  std::string_view t;
  if (!token(t)) {
    failure_ = role_ + " ends (after line " + std::to_string(line_no_) + ") where a number for " + std::string(what) +
               " was expected";
    return Status::end_of_file;
  }
  if (!real_syntax(t) || t.size() > 200) return bad(t, "a number", what);
  char buf[208];
  std::size_t n = 0;
  for (char ch : t) {
    if (ch == '+' && n == 0) continue;
    buf[n++] = (ch == 'D' || ch == 'd') ? 'e' : ch;
  }
  double v = 0.0;
  const auto [ptr, ec] = std::from_chars(buf, buf + n, v);
  if (ptr != buf + n || (ec != std::errc() && ec != std::errc::result_out_of_range)) return bad(t, "a number", what);
  if (ec == std::errc::result_out_of_range) return bad(t, "a number within the range of double precision", what);
  value = v;
  return Status::ok;
}

std::string FreeFormReader::failure() const { return failure_; }

void FreeFormReader::raise() const { fail(failure_); }

}  // namespace io
