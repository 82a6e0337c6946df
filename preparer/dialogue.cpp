#include "preparer/dialogue.hpp"

#include <cstdio>
#include <string>

#include "io/errors.hpp"
#include "io/text_writer.hpp"

namespace preparer {
namespace {

std::string number_text(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// A read of nothing still takes a line of answers.
void empty_read(io::FreeFormReader& in, const char* what) {
  if (!in.skip_line()) io::fail(in.role() + " ends where the line of " + std::string(what) + " was expected");
}

}  // namespace

Answers run_dialogue(io::FreeFormReader& in, common::StartRecord& record) {
  io::TextWriter& console = io::console();
  Answers a;
  console.line("Enter number of locals, minimum required measurements per plot,");
  console.line("age scale, height scale, columns in parameter file, lines to");
  console.line("skip at the start, position of plot ID column:");
  in.begin();
  in.must(in.next(a.nl, "the number of locals"));
  in.must(in.next(a.minimum, "the minimum number of measurements per plot"));
  in.must(in.next(a.age_scale, "the age scale"));
  in.must(in.next(a.height_scale, "the height scale"));
  in.must(in.next(a.columns, "the number of columns in the parameter file"));
  in.must(in.next(a.skip, "the number of lines to skip"));
  in.must(in.next(a.id_column, "the position of the plot ID column"));

  if (a.nl > common::kMaxPreparerLocals) io::stop_with("*** ERROR:  Too many locals");
  if (a.columns > common::kMaxParameterColumns)
    io::stop_with("*** ERROR:  More than 50 columns in local parameters file");
  if (!(a.age_scale > 0.0))
    io::stop_with_diagnostic("the age scale must be greater than 0; the answer was " + number_text(a.age_scale));
  if (!(a.height_scale > 0.0))
    io::stop_with_diagnostic("the height scale must be greater than 0; the answer was " + number_text(a.height_scale));
  if (a.columns > 0 && (a.id_column < 1 || a.id_column > a.columns))
    io::stop_with_diagnostic("plot ID column " + std::to_string(a.id_column) + " is outside the " +
                             std::to_string(a.columns) + " columns of the parameter file");

  console.empty_line();
  console.line("Enter positions of each local in parameter file,");
  console.line("or 0 if given below:");
  if (a.nl > 0) {
    in.begin();
    for (int i = 0; i < a.nl; ++i)
      in.must(in.next(a.positions[static_cast<std::size_t>(i)], "the position of local " + std::to_string(i + 1)));
  } else {
    empty_read(in, "positions");
  }
  for (int i = 0; i < a.nl; ++i)
    if (a.positions[static_cast<std::size_t>(i)] > a.columns)
      io::stop_with("*** ERROR: Parameter file column index out of range");

  console.empty_line();
  console.line("Enter initial local estimates (ignored if given in file):");
  if (a.nl > 0) {
    in.begin();
    for (int i = 0; i < a.nl; ++i)
      in.must(in.next(record[static_cast<std::size_t>(i)], "the initial estimate of local " + std::to_string(i + 1)));
  } else {
    empty_read(in, "initial local estimates");
  }
  console.empty_line();
  return a;
}

}  // namespace preparer
