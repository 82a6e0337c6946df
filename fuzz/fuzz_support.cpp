#include "fuzz_support.hpp"

#include <cstdio>
#include <cstdlib>

#include "bench/simulation.hpp"
#include "common/data_metadata.hpp"
#include "common/fingerprint.hpp"
#include "common/limits.hpp"
#include "common/plot_file_readers.hpp"
#include "common/plot_file_writers.hpp"
#include "estimator/run_control.hpp"
#include "io/binary_file.hpp"
#include "io/errors.hpp"
#include "io/free_form_reader.hpp"
#include "preparer/run_preparer.hpp"

namespace fuzz {

int run_in_process(int (*body)(int, char**), std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  try {
    return body(static_cast<int>(words.size()), argv.data());
  } catch (const io::Stop& stop) {
    return stop.status;
  } catch (const io::IoError& e) {
    if (std::getenv("FUZZ_CONSOLE") != nullptr) std::fprintf(stderr, "%s\n", e.what());
    return io::kExitIoFailure;
  }
}

void run_estimator(const std::string& control, const std::string& data, const std::string& locals) {
  run_in_process(estimator::run_estimator, {"estimator", control, data, locals, scratch("report")});
}

void write_plots(const std::string& data_path, const std::string& locals_path) {
  io::SequentialWriter data(data_path, "data file");
  io::DirectAccessFile locals = common::open_local_file(locals_path, io::DirectAccessFile::Mode::create);
  const double ages[3][4] = {{1, 3, 5, 7}, {1.5, 3.5, 5.5, 7.5}, {2, 4, 6, 8}};
  const double heights[3][4] = {{0.4, 1.1, 1.7, 2.1}, {0.6, 1.3, 1.8, 2.2}, {0.7, 1.4, 2.0, 2.4}};
  for (int p = 0; p < 3; ++p) {
    common::write_data_plot(data, 10 + p, 4, ages[p], heights[p]);
    common::StartRecord r{};
    r[0] = 3.0;
    r[1] = 0.2;
    common::write_start_record(locals, p + 1, 10 + p, r);
  }
  data.finish();
}

const FixedRun& fixed_run() {
  static const FixedRun run = [] {
    FixedRun r{scratch("run.dat"), scratch("run.loc"), scratch("run.json")};
    write_plots(r.data, r.locals);
    // The preparer's metadata beside the data file, so that the run's results give the scales (1 and 1).
    {
      io::SequentialReader in(r.data, "data file");
      common::Fingerprint print;
      common::Plot plot;
      while (common::read_any_plot(in, plot) == common::PlotStatus::ok)
        print.add_plot(plot.id, plot.n, plot.ages.data(), plot.heights.data());
      common::write_data_metadata(r.data, {1.0, 1.0, "fixed run", 3, 12, print.hex()});
    }
    const std::string control = write_file("run.ctl",
                                           "fixed run\n"
                                           "4 1 3\n1 1 1 1\n0 50 1e-6\n"
                                           "0.2 0.6 0.1 0.05\n1 1 1\n");
    const int status = run_in_process(
        estimator::run_estimator, {"estimator", control, r.data, r.locals, scratch("run.report"), "--json", r.results});
    if (status != 0) std::abort();  // the harness itself is wrong
    return r;
  }();
  return run;
}

const FixedRun& random_run() {
  static const FixedRun run = [] {
    FixedRun r{scratch("random.dat"), scratch("random.loc"), scratch("random.json")};
    bench::SimulationSettings s;
    s.model = 13;
    s.globals = {0.7, 0.2, 0.05};
    s.locals = {{3.0, 0.4}, {0.25, 0.04}};
    s.plots = 30;
    s.measurements = 6;
    s.seed = 11;
    s.itlim = 50;
    s.tol = 1e-6;
    const std::string raw = scratch("random.raw");
    {
      std::FILE* out = std::fopen(raw.c_str(), "w");
      if (out == nullptr) std::abort();
      bench::write_raw_data(s, out);
      std::fclose(out);
    }
    const std::string answers = write_file("random.answers", bench::preparer_answers(s));
    {
      std::vector<std::string> words{"preparer", raw, r.data, r.locals};
      std::vector<char*> argv;
      for (std::string& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      io::FreeFormReader answer_input(answers, "standard input");
      if (preparer::run_preparer(4, argv.data(), answer_input) != 0) std::abort();  // the harness itself is wrong
    }
    const std::string control = write_file("random.ctl", bench::control_file(s));
    const int status =
        run_in_process(estimator::run_estimator, {"estimator", control, r.data, r.locals, scratch("random.report"),
                                                  "--random-locals", "--quadrature", "5", "--json", r.results});
    if (status != 0) std::abort();
    return r;
  }();
  return run;
}

std::vector<std::string> words(std::string_view text, std::size_t limit) {
  std::vector<std::string> out;
  std::size_t k = 0;
  while (out.size() < limit) {
    k = text.find_first_not_of(" \t\n\r", k);
    if (k == std::string_view::npos) break;
    const std::size_t end = text.find_first_of(" \t\n\r", k);
    out.emplace_back(text.substr(k, end == std::string_view::npos ? std::string_view::npos : end - k));
    k = end;
  }
  return out;
}

}  // namespace fuzz
