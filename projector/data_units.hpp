// The units the projector works in: the data's scales from the results file
// (which its run took from the preparer's metadata beside the data file),
// the scales of --age-scale and --height-scale, which must then agree with
// them and are needed without them, or the data file's scaled units
// (--scaled-units). A call that leaves the units open, or contradicts the
// data's scales, is refused (status 2) with a message saying what to give.
#pragma once

#include <string>

#include "projector/command_line.hpp"
#include "projector/run_results.hpp"

namespace projector {

Units data_units(const Options& options, const RunResults& run);

}  // namespace projector
