// The preparer's main sequence: open the files, run the dialogue, gather and
// write the plots, and leave both output files holding exactly the plots
// written.
#pragma once

namespace preparer {

// argv[1..4]: raw data file, data file, local-parameter file and (when the
// answers give columns > 0) the parameter text file.
int run_preparer(int argc, char** argv);

}  // namespace preparer
