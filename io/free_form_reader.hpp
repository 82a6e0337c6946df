// Free-form reading of text files and of standard input.
//
// Values are separated by blanks, tabs, commas or line ends. Each read starts
// at the beginning of a new line, takes as many lines as its values need and
// drops whatever follows its last value on its last line. An integer is an
// optionally signed digit string; reals may carry a decimal point and an
// exponent introduced by E or D.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace io {

class FreeFormReader {
 public:
  enum class Status { ok, end_of_file, bad_value };

  // Opens a file that must exist; `role` names it in diagnostics
  // ("control file", "raw data file" ...).
  FreeFormReader(const std::string& path, std::string role);
  // Reads an already open stream (standard input); not closed here.
  FreeFormReader(std::FILE* stream, std::string role);
  ~FreeFormReader();
  FreeFormReader(const FreeFormReader&) = delete;
  FreeFormReader& operator=(const FreeFormReader&) = delete;

  // Starts a new read: its first value comes from the next line.
  void begin();
  Status next(int& value, std::string_view what);
  Status next(double& value, std::string_view what);

  // Reads one whole line as text (a formatted read of one record); the line
  // end is not part of it. Returns false at the end of the file.
  bool line(std::string& text);
  // Consumes one line (a read with nothing in its list); false at the end.
  bool skip_line();

  // A diagnostic for the last value that could not be read.
  std::string failure() const;
  [[noreturn]] void raise() const;

  // Ends the run with the diagnostic of the last read unless it went well.
  void must(Status s) const {
    if (s != Status::ok) raise();
  }

  // Reads values that must be there, as one read; failing ends the run.
  template <class... T>
  void require(std::string_view what, T&... values) {
    begin();
    (must(next(values, what)), ...);
  }

  const std::string& role() const { return role_; }
  long line_number() const { return line_no_; }

 private:
  bool fetch_line();
  bool token(std::string_view& out);
  Status bad(std::string_view token, std::string_view expected, std::string_view what);

  std::FILE* stream_ = nullptr;
  bool owned_ = false;
  std::string role_;
  char* buf_ = nullptr;
  std::size_t cap_ = 0;
  std::string_view line_;
  std::size_t pos_ = 0;
  bool in_line_ = false;
  long line_no_ = 0;
  std::string failure_;
};

}  // namespace io
