// One pass over the raw data file: consecutive lines with the same plot
// identifier make a plot; each plot is checked, takes its starting locals
// (from the parameter text file where positions are given) and, with enough
// measurements, is written to the data file and the local-parameter file.
#pragma once

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

// Counts the plots written in `written` as they are written. Errors are
// reported on the console and end the run; the plots accepted before them
// stay written.
void gather_plots(const Answers& answers, common::StartRecord& record, const PlotFiles& files, int& written);

}  // namespace preparer
