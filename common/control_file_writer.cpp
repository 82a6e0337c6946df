#include "common/control_file_writer.hpp"

#include <algorithm>
#include <cstdio>

namespace common {

inline constexpr std::size_t kTitleLength = 80;

std::string control_number(double v, int digits) {
  char text[40];
  std::snprintf(text, sizeof text, "%.*g", digits, v);
  return text;
}

std::string control_text(const ControlFile& c, const ControlStyle& style) {
  const int digits = style.digits;
  std::string out = c.title.substr(0, kTitleLength) + "\n";
  out += std::to_string(c.ng) + " " + std::to_string(c.nl) + " " + std::to_string(c.np) + "\n";
  for (std::size_t u = 0; u < c.unit_values.size(); ++u) out += (u > 0 ? " " : "") + std::to_string(c.unit_values[u]);
  out += "\n" + std::to_string(c.mfreq) + " " + std::to_string(c.itlim) + " " + control_number(c.tol, digits) + "\n";
  const int written = std::clamp(c.ng, 0, kMaxGlobals);
  for (int i = 0; i < written; ++i)
    out += (i > 0 ? " " : "") + control_number(c.globals[static_cast<std::size_t>(i)], digits);
  out += style.globals_note + "\n";
  out += std::to_string(c.model) + " " + control_number(c.k1, digits) + " " + control_number(c.k2, digits) +
         style.model_note + "\n";
  return out;
}

}  // namespace common
