#include "estimator/run_control.hpp"

#include <string>

#include "common/limits.hpp"
#include "estimator/control_file.hpp"
#include "estimator/models/model_table.hpp"
#include "estimator/newton.hpp"
#include "estimator/plot_files.hpp"
#include "estimator/report.hpp"
#include "estimator/trace.hpp"
#include "io/errors.hpp"
#include "io/format.hpp"
#include "io/units.hpp"

namespace estimator {
namespace {

constexpr int kControlUnit = 1;

std::string argument(int argc, char** argv, int k, const char* what) {
  return io::file_argument(argc, argv, k, what, "estimator CONTROL DATA LOCALS REPORT");
}

[[noreturn]] void stop_with(const std::string& message) {
  io::console().line(message);
  throw io::Stop{io::kExitDetectedError};
}

void check_sizes(const ControlFile& c, const std::string& control_name) {
  if (c.ng > common::kMaxGlobals) stop_with("*** Error, more than 10 globals ***");
  if (c.nl > common::kMaxLocals) stop_with("*** Error, more than 6 locals ***");
  if (c.ng < 1)
    stop_with("*** Error, NG = " + std::to_string(c.ng) + " in control file " + control_name +
              ": at least 1 global is needed ***");
  if (c.nl < 1)
    stop_with("*** Error, NL = " + std::to_string(c.nl) + " in control file " + control_name +
              ": at least 1 local is needed ***");
}

void check_model_counts(const ControlFile& c) {
  if (!valid_model(c.model)) return;  // refused after the header (refuse_invalid_model)
  const ModelCounts counts = model_counts(c.model);
  if (counts.ng != c.ng || counts.nl != c.nl)
    stop_with("*** Error, model " + std::to_string(c.model) + " takes " + std::to_string(counts.ng) +
              " globals and " + std::to_string(counts.nl) + (counts.nl == 1 ? " local" : " locals") +
              ", but the control file gives NG = " + std::to_string(c.ng) + " and NL = " + std::to_string(c.nl) +
              " ***");
}

void write_header(const ControlFile& c) {
  static const io::Format header(
      "(1H1,20A4,/,/,19H GLOBAL PARAMETERS:,I2,/,18H LOCAL PARAMETERS:,I2,/,17H NUMBER OF PLOTS:,I4,/,"
      "22H MONITORING FREQUENCY:,I3,/,17H ITERATION LIMIT:,I3,/,11H TOLERANCE:,G9.1,/,/,20X,14HMONITOR OUTPUT)");
  io::Items items;
  items.chunks(c.title, 4).i(c.ng).i(c.nl).i(c.np).i(c.mfreq).i(c.itlim).r(c.tol);
  io::console().write(header, items);
}

// An invalid model number is refused where the optimiser would first use it:
// after the run header and the first trial header, once the first plot's
// record has been read.
void refuse_invalid_model(int np) {
  write_trial_header(io::console(), 0.0);
  if (np >= 1) {
    Locals locals{};
    WorkBlock work{};
    LocalFactor lfactor{};
    get(1, locals, work, lfactor);
  }
  stop_with(" Model number error! ");
}

void write_outcome(io::TextWriter& out, int itlim, int npd) {
  if (itlim < 0) {
    static const io::Format f("(49H0ITERATION LIMIT EXCEEDED. IGNORE STANDARD ERRORS,23H AND CORRELATIONS BELOW)");
    out.write(f);
  } else if (npd > 0) {
    static const io::Format f(
        "(53H0HESSIAN MATRIX NOT POSITIVE-DEFINITE. SADDLE POINT? ,/,46H IGNORE STANDARD ERRORS AND CORRELATIONS "
        "BELOW)");
    out.write(f);
  } else if (npd == 0) {
    static const io::Format f("(10H0CONVERGED)");
    out.write(f);
  }
}

}  // namespace

int run_estimator(int argc, char** argv) {
  const std::string control_name = argument(argc, argv, 1, "control file");
  io::open_text_in(kControlUnit, control_name, "control file");
  io::FreeFormReader& in = io::text_in(kControlUnit);

  ControlFile control;
  read_title_and_sizes(in, control);
  check_sizes(control, control_name);
  read_starting_globals(in, control);
  read_model(in, control);
  check_model_counts(control);

  // The four unit values are stored and then replaced by the fixed units.
  files.data_unit = control.unit_values[0];
  files.locals_unit = control.unit_values[1];
  files.unused = control.unit_values[2];
  files.report_unit = control.unit_values[3];
  files.data_unit = 2;
  files.locals_unit = 3;
  files.report_unit = 4;

  sizes.ng = control.ng;
  sizes.nl = control.nl;
  sizes.np = control.np;
  esde.k1 = control.k1;
  esde.k2 = control.k2;
  esde.model = control.model;

  io::open_sequential_in(files.data_unit, argument(argc, argv, 2, "data file"), "data file");
  io::open_direct(files.locals_unit, argument(argc, argv, 3, "local-parameter file"), "local-parameter file",
                  common::kRecordLength, io::DirectAccessFile::Mode::read_write_existing);
  io::open_text_out(files.report_unit, argument(argc, argv, 4, "report file"), "report file");

  write_header(control);
  derive_sizes(sizes);
  if (!valid_model(control.model)) refuse_invalid_model(control.np);

  Globals globals = control.globals;
  GlobalFactor hfactor{};
  int itlim = control.itlim;
  int npd = 0;
  setpf();
  newton(globals, control.mfreq, itlim, control.tol, hfactor, npd);
  savepf();

  io::TextWriter& out = io::text_out(files.report_unit);
  static const io::Format title("(1H ,20A4,/)");
  out.write(title, io::Items().chunks(control.title, 4));
  write_outcome(out, itlim, npd);
  report(globals, hfactor);
  out.commit();
  return 0;
}

}  // namespace estimator
