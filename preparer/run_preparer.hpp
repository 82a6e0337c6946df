// The preparer's main sequence: open the files, run the dialogue, gather and
// write the plots, and leave both output files holding exactly the plots
// written.
#pragma once

#include "io/free_form_reader.hpp"

namespace preparer {

// argv[1..4]: raw data file, data file, local-parameter file and (when the
// answers give columns > 0) the parameter text file. The answers are read
// from `answers` (standard input for the program).
int run_preparer(int argc, char** argv, io::FreeFormReader& answers);

}  // namespace preparer
