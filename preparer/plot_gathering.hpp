// One pass over the raw data file: consecutive lines with the same plot
// identifier make a plot; each plot is checked, takes its starting locals
// (from the parameter text file where positions are given) and, with enough
// measurements, is written to the data file and the local-parameter file.
#pragma once

#include <cstdint>

#include "common/fingerprint.hpp"
#include "common/plot_file_writers.hpp"
#include "io/binary_file.hpp"
#include "io/free_form_reader.hpp"
#include "preparer/dialogue.hpp"

namespace preparer {

struct PlotFiles {
  io::FreeFormReader& raw;
  io::SequentialWriter& data;
  io::DirectAccessFile& locals;
  io::FreeFormReader* parameters;  // null when there is no parameter text file
};

// What has been written so far: the plots, their measurements and the data
// file's fingerprint over them.
struct Written {
  int plots = 0;
  std::int64_t measurements = 0;
  common::Fingerprint data;
};

// Counts the plots in `written` as they are written. Errors are reported on
// the console and end the run; the plots accepted before them stay written.
void gather_plots(const Answers& answers, common::StartRecord& record, const PlotFiles& files, Written& written);

}  // namespace preparer
