#include "io/csv_writer.hpp"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace io {

std::string number_text(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  char buf[32];
  const auto result = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, result.ptr);
}

CsvWriter::CsvWriter(TextWriter& out, const std::vector<std::string>& header) : out_(out), columns_(header.size()) {
  for (const std::string& name : header) text(name);
  end_row();
}

void CsvWriter::separate() {
  if (fields_++ > 0) line_ += ',';
}

CsvWriter& CsvWriter::field(double v) {
  separate();
  line_ += number_text(v);
  return *this;
}

CsvWriter& CsvWriter::field(std::int64_t v) {
  separate();
  line_ += std::to_string(v);
  return *this;
}

CsvWriter& CsvWriter::text(std::string_view v) {
  separate();
  if (v.find_first_of(",\"\n\r") == std::string_view::npos) {
    line_ += v;
    return *this;
  }
  line_ += '"';
  for (char ch : v) {
    if (ch == '"') line_ += '"';
    line_ += ch;
  }
  line_ += '"';
  return *this;
}

void CsvWriter::end_row() {
  if (fields_ != columns_)
    throw std::logic_error("CSV row of " + std::to_string(fields_) + " fields under a header of " +
                           std::to_string(columns_));
  line_ += '\n';
  out_.put(line_);
  line_.clear();
  fields_ = 0;
}

}  // namespace io
