// The reader of the control file, in the steps between which the estimator
// checks what it has read (the sizes before the globals are read).
#pragma once

#include "common/control_file.hpp"
#include "io/free_form_reader.hpp"

namespace common {

// Reads the title and the first free-form read, up to the iteration settings.
void read_title_and_sizes(io::FreeFormReader& in, ControlFile& control);
// Reads the ng starting values (ng within the limit), ending the first read.
void read_starting_globals(io::FreeFormReader& in, ControlFile& control);
// The second read: model number and model constants.
void read_model(io::FreeFormReader& in, ControlFile& control);

}  // namespace common
