// The reader of raw data files, for every program that reads one (the
// preparer, and the projector's new plots): one measurement per line, plot
// identifier, age and height, read free-form; consecutive lines with the same
// identifier make a plot, whose ages must not decrease and which holds at
// most kMaxMeasurements lines. The reader names what is wrong to a handler,
// which words the message and ends the run; each measurement is handed to it
// as soon as its line is read, for the checks of its program.
#pragma once

#include <array>
#include <cstdint>

#include "common/limits.hpp"
#include "io/free_form_reader.hpp"

namespace common {

// A plot of a raw data file, in the raw file's units. The arrays have room
// for the first line of the next plot.
struct RawPlot {
  std::int32_t id = 0;
  int n = 0;
  std::array<double, kMaxMeasurements + 1> ages{};
  std::array<double, kMaxMeasurements + 1> heights{};
};

enum class RawFault {
  unreadable,      // a line that cannot be read (the reader's failure() says why)
  decreasing_age,  // an age below the plot's age before it
  too_many,        // more than kMaxMeasurements lines in a plot
};

class RawDataHandler {
 public:
  virtual ~RawDataHandler() = default;
  // Must end the run (throw); `id` is the identifier of the line at fault.
  virtual void fault(RawFault what, std::int32_t id) = 0;
  // Measurement k (from 0) of the plot being read, just read.
  virtual void measurement(const RawPlot& plot, int k) = 0;
};

class RawDataReader {
 public:
  // The identifier a fault names when no identifier has been read yet.
  static constexpr std::int32_t kNoPlotYet = -6391;

  RawDataReader(io::FreeFormReader& raw, RawDataHandler& handler) : raw_(raw), handler_(handler) {
    lines_.id = kNoPlotYet;
  }

  // The next plot; false at the end of the file.
  bool next(RawPlot& plot);
  io::FreeFormReader& raw() { return raw_; }

 private:
  bool read_line(int k);
  [[noreturn]] void fault(RawFault what, std::int32_t id);

  io::FreeFormReader& raw_;
  RawDataHandler& handler_;
  RawPlot lines_;
  bool held_ = false;  // the first line of the next plot is in place 0
  bool ended_ = false;
};

}  // namespace common
