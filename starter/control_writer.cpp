#include "starter/control_writer.hpp"

#include "common/control_file_writer.hpp"
#include "io/text_writer.hpp"
#include "model/model_table.hpp"

namespace starter {

void write_control_file(const std::string& path, const common::ControlFile& control) {
  const model::ModelNames& names = model::model_names(control.model);
  common::ControlStyle style;
  style.globals_note = "    starting ";
  for (int i = 0; i < control.ng; ++i)
    style.globals_note += (i > 0 ? ", " : "") + std::string(names.globals[static_cast<std::size_t>(i)]);
  style.model_note = "    model number and the two model constants";
  io::TextWriter out(path, "control file");
  out.put(common::control_text(control, style));
  out.commit();
}

}  // namespace starter
