// The preparer's console dialogue: the answers that say how to read and
// scale the raw data and where each plot's starting locals come from.
#pragma once

#include <array>

#include "common/limits.hpp"
#include "common/plot_file_writers.hpp"
#include "io/free_form_reader.hpp"

namespace preparer {

struct Answers {
  int nl = 0;
  int minimum = 0;
  double age_scale = 0.0;
  double height_scale = 0.0;
  int columns = 0;
  int skip = 0;
  int id_column = 0;
  std::array<int, common::kMaxPreparerLocals> positions{};
};

// Runs the dialogue on the console, reading the answers from `in`; the
// starting values go into the first nl reals of `record`. Refusals are
// reported on the console and end the run.
Answers run_dialogue(io::FreeFormReader& in, common::StartRecord& record);

}  // namespace preparer
