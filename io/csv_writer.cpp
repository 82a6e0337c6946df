#include "io/csv_writer.hpp"

#include <charconv>
#include <cmath>

namespace io {

std::string shortest(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

CsvWriter::CsvWriter(const std::string& path, std::string role, const std::vector<std::string>& columns)
    : out_(path, std::move(role)) {
  for (const std::string& c : columns) text(c);
  end_row();
}

void CsvWriter::separate() {
  if (!first_) row_ += ',';
  first_ = false;
}

CsvWriter& CsvWriter::number(double value) {
  separate();
  row_ += shortest(value);
  return *this;
}

CsvWriter& CsvWriter::integer(std::int64_t value) {
  separate();
  row_ += std::to_string(value);
  return *this;
}

CsvWriter& CsvWriter::text(std::string_view value) {
  separate();
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
    row_ += value;
    return *this;
  }
  row_ += '"';
  for (char ch : value) {
    if (ch == '"') row_ += '"';
    row_ += ch;
  }
  row_ += '"';
  return *this;
}

void CsvWriter::end_row() {
  row_ += '\n';
  out_.put(row_);
  row_.clear();
  first_ = true;
}

}  // namespace io
