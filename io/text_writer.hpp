// Text output: the console and report files.
//
// A report file is written beside its final name and put in place by
// commit() only when it is complete; a run that ends before that leaves any
// earlier file of that name as it was (io/replaced_file.hpp).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "io/format.hpp"

namespace io {

class TextWriter {
 public:
  // The console (standard output).
  TextWriter();
  // A file that replaces `path` when committed; `role` names it in diagnostics.
  TextWriter(const std::string& path, std::string role);
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  void put(std::string_view text);

  // Formatted write: the lines the items make under the format.
  void write(const Format& format, const Items& items = Items());
  // Free-form write of one text line: a blank, then the text.
  void line(std::string_view text);
  // Free-form write with nothing in it: an empty line.
  void empty_line();

  // Hands what is buffered to the operating system (the console: so that a
  // trace written to a pipe or a file shows progress as it happens).
  void flush();

  // Closes the file and puts it in place of `path`.
  void commit();

 private:
  std::FILE* stream_ = nullptr;
  void discard();

  std::string path_;
  std::string target_;  // the file that path_ names, through its symbolic links
  std::string temp_path_;
  std::string role_;
  std::string buffer_;
};

// The console writer of this process.
TextWriter& console();

}  // namespace io
