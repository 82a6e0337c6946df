// Values of command-line options, read whole: an option's text must be the
// number (or the list) and nothing else. The parsers of single numbers end a
// wrong call with the usage (status 2); the parsers of lists end the run with
// a message naming the option, the item and what was expected (status 2).
// Lists are comma-separated items.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/command_line.hpp"

namespace io {

// The integer in `text`, if all of it is one.
std::optional<int> whole_integer(const std::string& text);

// The finite number in `text`, if all of it is one.
std::optional<double> whole_number(const std::string& text);

// The option's integer (at least `lowest`), or `fallback` when it is not given.
int integer_option(const CommandLine& line, const std::string& name, int fallback, int lowest);

// The option's finite positive number, or `fallback` when it is not given.
double positive_option(const CommandLine& line, const std::string& name, double fallback);

// The items of a comma-separated list (an empty one after a trailing comma).
std::vector<std::string> list_items(const std::string& text);

// One finite number.
double number_value(const std::string& option, const std::string& text);

// Numbers and ranges FROM:TO:STEP (TO included when the steps reach it),
// at most `limit` of them, returned sorted and without repeats; `noun` names
// them in messages ("ages").
std::vector<double> numbers_and_steps(const std::string& option, const std::string& text, int limit,
                                      const std::string& noun);

// 32-bit integers; `what` says what each is ("a plot identifier").
std::vector<std::int32_t> integer_list(const std::string& option, const std::string& text, const std::string& what);

// Numbers strictly between 0 and 1 (levels, quantiles).
std::vector<double> fraction_list(const std::string& option, const std::string& text);

// Integers and ranges FROM-TO, each from `lowest` to `highest`, returned in
// increasing order, each once; nothing when the list is not well formed.
std::optional<std::vector<int>> integers_and_ranges(const std::string& text, int lowest, int highest);

}  // namespace io
