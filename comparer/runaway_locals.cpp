#include "comparer/runaway_locals.hpp"

#include <cmath>

#include "common/plot_file_readers.hpp"
#include "common/plot_record.hpp"
#include "io/binary_file.hpp"

namespace comparer {
namespace {

constexpr double kAbove = 100.0;
constexpr double kBelow = 1e-3;

bool ran_away(double value, double average) {
  return !std::isfinite(value) || !(value > 0.0) || value > kAbove * average || value < kBelow * average;
}

}  // namespace

Runaways find_runaways(const std::string& locals_path, std::int64_t plots, int nl,
                       const std::array<double, common::kMaxLocals>& average_magnitude) {
  io::DirectAccessFile file = common::open_local_file(locals_path, io::DirectAccessFile::Mode::read_only);
  Runaways r;
  std::array<double, common::kMaxLocals> locals{};
  for (std::int64_t p = 1; p <= plots; ++p) {
    const std::int32_t id = common::read_record_start(file, p, nl, locals.data());
    for (int l = 0; l < nl; ++l) {
      if (!ran_away(locals[static_cast<std::size_t>(l)], average_magnitude[static_cast<std::size_t>(l)])) continue;
      if (r.plots++ == 0) r = {1, p, id, l, locals[static_cast<std::size_t>(l)]};
      break;
    }
  }
  return r;
}

}  // namespace comparer
