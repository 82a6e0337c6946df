// Ends the starter for a reason it found in its input: the message goes to
// the error stream, prefixed with the program's name, and the exit status is 1.
#pragma once

#include <string>

namespace starter {

[[noreturn]] void refuse(const std::string& message);

// "plot 12 (ID 301)": a plot by its position in the plot files and its identifier.
std::string plot_name(long long position, int id);

// A value in a message, to four significant digits.
std::string short_number(double v);

}  // namespace starter
