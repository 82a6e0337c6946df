// The writer of the control file: the text the estimator reads back as the
// values of the ControlFile written, with notes after the globals and the
// model line when they are given.
#pragma once

#include <string>

#include "common/control_file.hpp"

namespace common {

struct ControlStyle {
  int digits = 10;           // significant digits of the reals
  std::string globals_note;  // after the starting globals, e.g. "    starting b, c"
  std::string model_note;    // after the model line
};

// The title is cut to 80 characters; the first min(ng, kMaxGlobals) starting
// globals are written (a file of more is refused before they are read).
std::string control_text(const ControlFile& control, const ControlStyle& style);

// A real as the control file holds it, to `digits` significant digits.
std::string control_number(double v, int digits = 10);

}  // namespace common
