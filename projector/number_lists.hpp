// Lists typed on the command line: comma-separated items, where an age item
// may also be a range FROM:TO:STEP (TO included when the steps reach it).
// A list that does not parse ends the run with a message naming the option,
// the item and what was expected.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace projector {

// Ages: numbers and ranges, returned sorted and without repeats.
std::vector<double> parse_ages(const std::string& option, const std::string& text, int limit);
// Plot identifiers (32-bit integers).
std::vector<std::int32_t> parse_ids(const std::string& option, const std::string& text);
// Numbers strictly between 0 and 1 (levels, quantiles).
std::vector<double> parse_fractions(const std::string& option, const std::string& text);
// One number; `what` says what it should be.
double parse_number(const std::string& option, const std::string& text);

}  // namespace projector
