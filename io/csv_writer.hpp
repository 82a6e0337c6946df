// CSV output for programs (R's read.csv, pandas' read_csv): a header line,
// then rows of fields separated by commas. Numbers are written in the
// shortest form that reads back to the same double; values that are not
// finite as NaN, Inf or -Inf. The file is written beside its final name and
// put in place by commit().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/text_writer.hpp"

namespace io {

class CsvWriter {
 public:
  CsvWriter(const std::string& path, std::string role, const std::vector<std::string>& columns);

  CsvWriter& number(double value);
  CsvWriter& integer(std::int64_t value);
  // Text is quoted when it holds a comma, a quote or a line end.
  CsvWriter& text(std::string_view value);
  void end_row();
  void commit() { out_.commit(); }

 private:
  void separate();

  TextWriter out_;
  std::string row_;
  bool first_ = true;
};

// The shortest decimal form of a double that reads back to it; NaN, Inf, -Inf.
std::string shortest(double value);

}  // namespace io
