#include "projector/comparison_file.hpp"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "io/errors.hpp"

namespace projector {
namespace {

const std::vector<std::string> kHeader = {"model", "globals", "locals",     "log_likelihood", "parameters", "aic",
                                          "bic",   "outcome", "iterations", "seconds",        "flag"};

}  // namespace

std::vector<std::string> csv_fields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t k = 0; k < line.size(); ++k) {
    const char ch = line[k];
    if (quoted && ch == '"' && k + 1 < line.size() && line[k + 1] == '"') {
      fields.back() += '"';
      ++k;
    } else if (ch == '"') {
      quoted = !quoted;
    } else if (ch == ',' && !quoted) {
      fields.emplace_back();
    } else if (ch != '\r' || quoted) {
      fields.back() += ch;
    }
  }
  return fields;
}

ComparisonTable read_comparison(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) io::fail("cannot open the comparison table '" + path + "': " + std::strerror(errno));
  ComparisonTable t;
  std::string line;
  std::getline(in, line);
  t.header = csv_fields(line);
  if (t.header != kHeader)
    io::fail("comparison table '" + path +
             "', line 1: not the header of the comparer's comparison.csv (model,globals," +
             "locals,log_likelihood,parameters,aic,bic,outcome,iterations,seconds,flag)");
  for (int number = 2; std::getline(in, line); ++number) {
    if (line.empty()) continue;
    t.rows.push_back(csv_fields(line));
    if (t.rows.back().size() != kHeader.size())
      io::fail("comparison table '" + path + "', line " + std::to_string(number) + ": " +
               std::to_string(t.rows.back().size()) + " fields, expected " + std::to_string(kHeader.size()));
  }
  return t;
}

}  // namespace projector
