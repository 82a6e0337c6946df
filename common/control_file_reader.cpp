#include "common/control_file_reader.hpp"

#include "io/errors.hpp"

namespace common {

inline constexpr std::size_t kTitleLength = 80;

void read_title_and_sizes(io::FreeFormReader& in, ControlFile& control) {
  std::string line;
  if (!in.line(line)) io::fail(in.role() + " is empty: its first line must be the title");
  line.resize(kTitleLength, ' ');
  control.title = line;

  in.begin();
  in.must(in.next(control.ng, "NG, the number of globals"));
  in.must(in.next(control.nl, "NL, the number of locals"));
  in.must(in.next(control.np, "NP, the number of plots"));
  for (int& u : control.unit_values) in.must(in.next(u, "one of the four unit values"));
  in.must(in.next(control.mfreq, "the monitoring frequency"));
  in.must(in.next(control.itlim, "the iteration limit"));
  in.must(in.next(control.tol, "the tolerance"));
}

void read_starting_globals(io::FreeFormReader& in, ControlFile& control) {
  for (int i = 0; i < control.ng; ++i) {
    const std::string what = "the starting value of global " + std::to_string(i + 1);
    in.must(in.next(control.globals[static_cast<std::size_t>(i)], what));
  }
}

void read_model(io::FreeFormReader& in, ControlFile& control) {
  in.require("the model number and the two model constants", control.model, control.k1, control.k2);
}

}  // namespace common
