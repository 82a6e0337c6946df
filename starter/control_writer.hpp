// The estimator's control file for a self-started run, written by the
// control file's writer with the starting globals named in a note after them
// and the model line explained. Written beside its final name and put in
// place when complete.
#pragma once

#include <string>

#include "common/control_file.hpp"

namespace starter {

// `control.ng` and `control.nl` are the model's counts.
void write_control_file(const std::string& path, const common::ControlFile& control);

}  // namespace starter
