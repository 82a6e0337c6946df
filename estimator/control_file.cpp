#include "estimator/control_file.hpp"

#include "io/errors.hpp"

namespace estimator {

inline constexpr std::size_t kTitleLength = 80;

void read_title_and_sizes(io::FreeFormReader& in, ControlFile& control) {
  std::string line;
  if (!in.line(line)) io::fail(in.role() + " is empty: its first line must be the title");
  line.resize(kTitleLength, ' ');
  control.title = line;

  in.begin();
  auto must = [&in](io::FreeFormReader::Status s) {
    if (s != io::FreeFormReader::Status::ok) in.raise();
  };
  must(in.next(control.ng, "NG, the number of globals"));
  must(in.next(control.nl, "NL, the number of locals"));
  must(in.next(control.np, "NP, the number of plots"));
  for (int& u : control.unit_values) must(in.next(u, "one of the four unit values"));
  must(in.next(control.mfreq, "the monitoring frequency"));
  must(in.next(control.itlim, "the iteration limit"));
  must(in.next(control.tol, "the tolerance"));
}

void read_starting_globals(io::FreeFormReader& in, ControlFile& control) {
  for (int i = 0; i < control.ng; ++i) {
    const std::string what = "the starting value of global " + std::to_string(i + 1);
    if (in.next(control.globals[static_cast<std::size_t>(i)], what) != io::FreeFormReader::Status::ok) in.raise();
  }
}

void read_model(io::FreeFormReader& in, ControlFile& control) {
  in.require("the model number and the two model constants", control.model, control.k1, control.k2);
}

}  // namespace estimator
