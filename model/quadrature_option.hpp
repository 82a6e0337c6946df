// The options --random-locals [--quadrature K] of the programs that fit with
// random locals (estimator, comparer), read in one place.
#pragma once

#include <optional>

#include "io/command_line.hpp"

namespace model {

// Nodes per local of --quadrature, when it is given; a wrong call (the usage,
// status 2) outside 1 .. the largest rule or without --random-locals.
std::optional<int> quadrature_option(const io::CommandLine& line);

}  // namespace model
