#include "starter/control_writer.hpp"

#include <cstdio>

#include "io/text_writer.hpp"
#include "model/model_table.hpp"

namespace starter {

std::string control_number(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

void write_control_file(const std::string& path, const ControlContents& c) {
  const model::ModelCounts counts = model::model_counts(c.model);
  const model::ModelNames& names = model::model_names(c.model);
  io::TextWriter out(path, "control file");
  out.put(c.title.substr(0, 80) + "\n");
  out.put(std::to_string(counts.ng) + " " + std::to_string(counts.nl) + " " + std::to_string(c.plots) + "\n");
  out.put("1 1 1 1\n");
  out.put(std::to_string(c.mfreq) + " " + std::to_string(c.iteration_limit) + " " + control_number(c.tolerance) + "\n");
  std::string values, comment = "    starting ";
  for (int i = 0; i < counts.ng; ++i) {
    values += (i > 0 ? " " : "") + control_number(c.globals[static_cast<std::size_t>(i)]);
    comment += (i > 0 ? ", " : "") + std::string(names.globals[static_cast<std::size_t>(i)]);
  }
  out.put(values + comment + "\n");
  out.put(std::to_string(c.model) + " " + control_number(c.k1) + " " + control_number(c.k2) +
          "    model number and the two model constants\n");
  out.commit();
}

}  // namespace starter
