// The control file of an estimator run: title line, problem sizes, iteration
// settings and starting globals (one free-form read), then model number and
// the two model constants (a second read, starting on a new line).
#pragma once

#include <array>
#include <string>

#include "estimator/shared_records.hpp"
#include "io/free_form_reader.hpp"

namespace estimator {

struct ControlFile {
  std::string title;  // exactly 80 characters
  int ng = 0;
  int nl = 0;
  int np = 0;
  std::array<int, 4> unit_values{};  // read, and of no effect
  int mfreq = 0;
  int itlim = 0;
  double tol = 0.0;
  model::Globals globals{};
  int model = 0;
  double k1 = 0.0;
  double k2 = 0.0;
};

// Reads the title and the first free-form read, up to the iteration settings.
void read_title_and_sizes(io::FreeFormReader& in, ControlFile& control);
// Reads the ng starting values (ng within the limit), ending the first read.
void read_starting_globals(io::FreeFormReader& in, ControlFile& control);
// The second read: model number and model constants.
void read_model(io::FreeFormReader& in, ControlFile& control);

}  // namespace estimator
