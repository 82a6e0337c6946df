#include "comparer/run_comparer.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

#include "comparer/child_process.hpp"
#include "comparer/command_line.hpp"
#include "comparer/comparison_table.hpp"
#include "comparer/folder_lock.hpp"
#include "comparer/model_run.hpp"
#include "comparer/progress.hpp"
#include "io/errors.hpp"
#include "io/output_paths.hpp"
#include "io/text_writer.hpp"

namespace comparer {
namespace {

// Runs the models on `jobs` threads, each taking the next model of the list
// and waiting for its processes; a row is stored at its model's place in the
// list, so the order of finishing does not matter.
std::vector<ModelRow> run_models(const std::vector<int>& models, const RunSettings& settings, int jobs) {
  std::vector<ModelRow> rows(models.size());
  std::atomic<std::size_t> next{0};
  std::mutex failing;
  std::exception_ptr failure;
  Progress progress(models.size(), stderr);
  const auto work = [&] {
    for (std::size_t k = next++; k < models.size(); k = next++) {
      try {
        progress.started(models[k]);
        rows[k] = run_model(models[k], settings);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(failing);
        if (!failure) failure = std::current_exception();
        return;
      }
      progress.finished(rows[k]);
    }
  };
  std::vector<std::thread> threads;
  for (int j = 1; j < jobs; ++j) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
  return rows;
}

}  // namespace

int run_comparer(int argc, char** argv) {
  const ComparerCall call = read_command_line(argc, argv);
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const int jobs = std::min<int>(call.jobs > 0 ? call.jobs : cores, static_cast<int>(call.models.size()));
  RunSettings settings{call.data,
                       call.locals,
                       call.outdir,
                       call.k1,
                       call.k2,
                       call.iteration_limit,
                       std::max(1, cores / jobs),
                       sibling_program("starter"),
                       sibling_program("estimator"),
                       call.random_locals,
                       call.quadrature};
  for (const std::string& input : {call.data, call.locals})
    if (!std::filesystem::is_regular_file(input)) io::fail("cannot open '" + input + "': no such file");
  lock_folder(call.outdir);
  const io::NamedPath inputs[] = {{call.data, "data file"}, {call.locals, "local-parameter file"}};
  const io::NamedPath outputs[] = {
      {(std::filesystem::path(call.outdir) / "comparison.csv").string(), "comparison table"}};
  io::check_outputs(inputs, outputs);

  std::vector<ModelRow> rows = run_models(call.models, settings, jobs);
  sort_by_aic(rows);
  print_table(rows, stdout);
  io::TextWriter csv((std::filesystem::path(call.outdir) / "comparison.csv").string(), "comparison table");
  write_table_csv(rows, csv);
  csv.commit();
  if (call.random_locals)
    std::printf("\nrandom locals (%s): the log-likelihood is the marginal one, the parameters NG + NL + "
                "NL(NL+1)/2\n",
                call.quadrature > 1 ? ("adaptive Gauss-Hermite quadrature, " + std::to_string(call.quadrature) +
                                       " nodes per local").c_str()
                                    : "Laplace approximation");
  if (!std::isfinite(rows.front().aic)) io::stop_with_diagnostic("no model could be fitted; the flags tell why");
  const auto best = std::find_if(rows.begin(), rows.end(), [](const ModelRow& r) { return r.outcome == "converged"; });
  if (best == rows.end()) {
    std::printf("\nno model converged: the table ranks estimates that are not optima\n");
  } else {
    std::printf("\nbest converged model by AIC: model %d; its report is %s\n", best->model,
                (std::filesystem::path(model_folder(call.outdir, best->model)) / "report").string().c_str());
  }
  return 0;
}

}  // namespace comparer
