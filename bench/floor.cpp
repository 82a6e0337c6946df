// floor: the arithmetic of one estimator iteration with every plot held in
// memory and one thread, through the estimator's own per-plot kernels: a
// trial pass, a derivative pass with the reduction into the global system,
// the global factorisation and a step pass. No file is read or written while
// it is timed.
//
//   floor CONTROL DATA LOCALS [ITERATIONS]
// prints the seconds of one iteration (the mean over ITERATIONS, default 3).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/control_file_reader.hpp"
#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "estimator/cholesky.hpp"
#include "estimator/plot_files.hpp"
#include "estimator/plot_kernels.hpp"
#include "io/errors.hpp"
#include "model/moved_parameters.hpp"

using namespace estimator;
using namespace model;

namespace {

// A plot as the floor keeps it: its record and its measurements, no more.
struct StoredPlot {
  std::int32_t id;
  Locals locals;
  WorkBlock work;
  LocalFactor lfactor;
  int n;
  std::vector<double> ages, heights;
};

void load(const StoredPlot& p, PlotSlot& s) {
  s.record_id = p.id;
  s.locals = p.locals;
  s.work = p.work;
  s.lfactor = p.lfactor;
  s.data.id = p.id;
  s.data.n = p.n;
  std::copy(p.ages.begin(), p.ages.end(), s.data.ages.begin());
  std::copy(p.heights.begin(), p.heights.end(), s.data.heights.begin());
}

void store(const PlotSlot& s, StoredPlot& p) {
  p.locals = s.locals;
  p.work = s.work;
  p.lfactor = s.lfactor;
}

// Runs `evaluate` over the plots in groups, as the estimator's passes do, and
// hands each evaluated slot to `take` in plot order.
template <class Evaluate, class Take>
void pass(std::vector<StoredPlot>& plots, std::vector<PlotSlot>& slots, Evaluate evaluate, Take take) {
  for (std::size_t first = 0; first < plots.size(); first += kGroupPlots) {
    const std::size_t count = std::min<std::size_t>(kGroupPlots, plots.size() - first);
    for (std::size_t k = 0; k < count; ++k) load(plots[first + k], slots[k]);
    evaluate(std::span<PlotSlot>(slots.data(), count));
    for (std::size_t k = 0; k < count; ++k) take(slots[k], plots[first + k]);
  }
}

std::vector<StoredPlot> read_plots(const common::ControlFile& control, const Sizes& sizes, const char* data_path,
                                   const char* locals_path) {
  io::SequentialReader data(data_path, "data file");
  io::DirectAccessFile records = common::open_local_file(locals_path, io::DirectAccessFile::Mode::read_write_existing);
  const Files files{data, records};
  std::vector<StoredPlot> plots(static_cast<std::size_t>(control.np));
  common::Plot plot;
  for (int p = 0; p < control.np; ++p) {
    StoredPlot& s = plots[static_cast<std::size_t>(p)];
    s.id = get(files, sizes, p + 1, s.locals, s.work, s.lfactor);
    rdata(data, p + 1, s.id, plot);
    s.n = plot.n;
    s.ages.assign(plot.ages.begin(), plot.ages.begin() + plot.n);
    s.heights.assign(plot.heights.begin(), plot.heights.begin() + plot.n);
  }
  return plots;
}

int body(int argc, char** argv) {
  if (argc < 4) io::fail("usage: floor CONTROL DATA LOCALS [ITERATIONS]");
  const int iterations = argc > 4 ? std::atoi(argv[4]) : 3;
  io::FreeFormReader control_in(argv[1], "control file");
  common::ControlFile control;
  common::read_title_and_sizes(control_in, control);
  common::read_starting_globals(control_in, control);
  common::read_model(control_in, control);
  const Sizes sizes = make_sizes(control.ng, control.nl, control.np);
  const Esde esde{control.k1, control.k2, control.model};
  const LikelihoodKernels kernels = likelihood_kernels(moved_parameters(esde.model));
  std::vector<StoredPlot> plots = read_plots(control, sizes, argv[2], argv[3]);
  std::vector<PlotSlot> slots(kGroupPlots);

  const int ng = sizes.ng;
  const Globals globals = control.globals;
  // Step length 0: every iteration evaluates the same point.
  const double alpha = 0.0;
  double checksum = 0.0;
  const auto start = std::chrono::steady_clock::now();
  for (int it = 0; it < iterations; ++it) {
    double total = 0.0;
    pass(
        plots, slots, [&](std::span<PlotSlot> g) { trial_group(esde, sizes, kernels, globals, alpha, g); },
        [&](const PlotSlot& s, StoredPlot&) { total += s.f; });
    Globals dx{}, gradient{};
    GlobalFactor hfactor{};
    pass(
        plots, slots, [&](std::span<PlotSlot> g) { derivative_group(esde, sizes, kernels, globals, alpha, g); },
        [&](const PlotSlot& s, StoredPlot& p) {
          add_to_global_system(sizes, s, gradient, dx, hfactor);
          store(s, p);
        });
    for (int i = 0; i < ng; ++i) dx[static_cast<std::size_t>(i)] -= gradient[static_cast<std::size_t>(i)];
    int npd0 = 0;
    chol1(ng, sizes.ngg, 1, ng, hfactor, dx, npd0);
    chol2(ng, sizes.ngg, 1, ng, hfactor, dx);
    pass(
        plots, slots, [&](std::span<PlotSlot> g) { step_group(sizes, dx, g); },
        [&](const PlotSlot& s, StoredPlot&) { checksum += s.work[0]; });
    checksum += total;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.6f\n", seconds / iterations);
  std::fprintf(stderr, "checksum %g\n", checksum);
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return io::run_program("floor", body, argc, argv); }
