// Values of command-line options, read whole: an option's text must be the
// number and nothing else, or the call is wrong (status 2, with the usage).
#pragma once

#include <optional>
#include <string>

#include "io/command_line.hpp"

namespace io {

// The integer in `text`, if all of it is one.
std::optional<int> whole_integer(const std::string& text);

// The option's integer (at least `lowest`), or `fallback` when it is not given.
int integer_option(const CommandLine& line, const std::string& name, int fallback, int lowest);

// The option's finite positive number, or `fallback` when it is not given.
double positive_option(const CommandLine& line, const std::string& name, double fallback);

}  // namespace io
