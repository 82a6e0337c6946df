#include "starter/refusal.hpp"

#include <cstdio>

#include "io/errors.hpp"

namespace starter {

void refuse(const std::string& message) { io::stop_with_diagnostic(message); }

std::string plot_name(long long position, int id) {
  return "plot " + std::to_string(position) + " (ID " + std::to_string(id) + ")";
}

std::string short_number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", v);
  return text;
}

}  // namespace starter
