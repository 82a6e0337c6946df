// The comparer's table (OUTDIR/comparison.csv) read back for the summary
// page: its header must be the comparer's; fields may be quoted ("" for a
// quote inside), as the CSV writer quotes them.
#pragma once

#include <string>
#include <vector>

namespace projector {

struct ComparisonTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
};

ComparisonTable read_comparison(const std::string& path);

// One CSV line split into its fields.
std::vector<std::string> csv_fields(const std::string& line);

}  // namespace projector
