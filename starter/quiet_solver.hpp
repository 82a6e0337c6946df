// The solver library's own log lines (line-search warnings and the like) are
// silenced: the starter reports what it found in its own words.
#pragma once

namespace starter {

void silence_solver_logging();

}  // namespace starter
