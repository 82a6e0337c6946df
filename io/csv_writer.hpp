// CSV output that R (read.csv) and Python (pandas.read_csv, csv) read without
// help: a header line, comma-separated fields, "\n" line ends, numbers written
// with the fewest digits that read back to the same double, and NaN, Inf,
// -Inf for values that are not finite. Text fields are quoted when they hold
// a comma, a quote or a line end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/text_writer.hpp"

namespace io {

// The shortest text that reads back to the same double.
std::string number_text(double v);

class CsvWriter {
 public:
  // Writes the header line at once.
  CsvWriter(TextWriter& out, const std::vector<std::string>& header);

  CsvWriter& field(double v);
  CsvWriter& field(std::int64_t v);
  CsvWriter& field(int v) { return field(static_cast<std::int64_t>(v)); }
  CsvWriter& text(std::string_view v);
  // Ends the row; checks that it has as many fields as the header.
  void end_row();

 private:
  void separate();

  TextWriter& out_;
  std::size_t columns_;
  std::size_t fields_ = 0;
  std::string line_;
};

}  // namespace io
