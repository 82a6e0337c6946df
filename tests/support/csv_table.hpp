// Reads a CSV file of numbers with a header line (no quoted fields) into
// columns by name.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

struct CsvTable {
  std::vector<std::string> names;
  std::vector<std::vector<double>> rows;
  const std::vector<double>& row(std::size_t k) const { return rows.at(k); }
  double at(std::size_t k, const std::string& name) const {
    for (std::size_t c = 0; c < names.size(); ++c)
      if (names[c] == name) return rows.at(k).at(c);
    throw std::runtime_error("no column " + name);
  }
};

inline CsvTable read_csv(const std::string& path) {
  CsvTable t;
  std::stringstream in(read_text(path));
  std::string line;
  std::getline(in, line);
  std::stringstream header(line);
  for (std::string name; std::getline(header, name, ',');) t.names.push_back(name);
  while (std::getline(in, line)) {
    std::stringstream s(line);
    std::vector<double> row;
    for (std::string field; std::getline(s, field, ',');) row.push_back(std::stod(field));
    t.rows.push_back(row);
  }
  return t;
}
