#include "common/raw_data_reader.hpp"

#include <stdexcept>

namespace common {

void RawDataReader::fault(RawFault what, std::int32_t id) {
  handler_.fault(what, id);
  throw std::logic_error("a raw-data handler returned from a fault");
}

bool RawDataReader::read_line(int k) {
  raw_.begin();
  using S = io::FreeFormReader::Status;
  // The identifier is kept as soon as it is read, so that a failure later in
  // the line names this line's plot.
  S s = raw_.next(lines_.id, "the plot identifier");
  if (s == S::ok) s = raw_.next(lines_.ages[static_cast<std::size_t>(k - 1)], "the age");
  if (s == S::ok) s = raw_.next(lines_.heights[static_cast<std::size_t>(k - 1)], "the height");
  if (s == S::ok) return true;
  if (s == S::end_of_file) return false;
  fault(RawFault::unreadable, lines_.id);
}

bool RawDataReader::next(RawPlot& plot) {
  if (ended_) return false;
  int k = 0;
  if (held_) {
    k = 1;
    held_ = false;
    lines_.n = 1;
    handler_.measurement(lines_, 0);
  }
  for (;;) {
    ++k;
    const std::int32_t previous = lines_.id;
    if (!read_line(k)) {
      ended_ = true;
      if (k == 1) return false;
      plot = lines_;
      plot.id = previous;
      plot.n = k - 1;
      return true;
    }
    if (k > 1 && lines_.id != previous) {
      plot = lines_;
      plot.id = previous;
      plot.n = k - 1;
      lines_.ages[0] = lines_.ages[static_cast<std::size_t>(k - 1)];
      lines_.heights[0] = lines_.heights[static_cast<std::size_t>(k - 1)];
      held_ = true;
      return true;
    }
    lines_.n = k;
    if (k > 1) {
      const double before = lines_.ages[static_cast<std::size_t>(k - 2)];
      const double now = lines_.ages[static_cast<std::size_t>(k - 1)];
      if (!(now >= before)) fault(RawFault::decreasing_age, lines_.id);
      if (k > kMaxMeasurements) fault(RawFault::too_many, lines_.id);
    }
    handler_.measurement(lines_, k - 1);
  }
}

}  // namespace common
