// One pass over every plot, a block at a time. Each block's records (and
// measurements) are read in plot order, the worker pool evaluates the block
// in groups of plots, and the calling thread then takes the block's results
// in plot order: it adds them up and writes the trace. While the pool
// evaluates block k, one of its threads reads block k+1 and another writes
// back the records of block k-1 (in passes that change them), and the calling
// thread takes the results of block k-1 and then helps with what is left.
// Every sum is thus formed in the same order whatever the number of threads.
//
// A pass that forms no sum whose order matters (the step pass) instead
// spreads whole blocks over the threads, each thread reading, changing and
// writing back its blocks' records itself.
//
// The passes read and write the local-parameter file straight between the
// file and their own block buffers; the file's cache is written out and
// dropped when a pass begins.
#pragma once

#include <array>
#include <exception>
#include <functional>
#include <span>
#include <vector>

#include "estimator/plot_kernels.hpp"
#include "estimator/worker_pool.hpp"

namespace estimator {

class PassPipeline {
 public:
  static constexpr int kBlockPlots = 256;  // plots read and evaluated together

  PassPipeline(const Files& files, const Sizes& sizes, int threads);

  // evaluate(group) runs on any thread and must not throw; take(slot, iplot)
  // runs on the calling thread, in plot order. with_data: read the plots'
  // measurements too; write_records: write each evaluated plot's record back
  // from its slot (identifier, locals, work block, local factor).
  using Evaluate = std::function<void(std::span<PlotSlot>)>;
  using Take = std::function<void(const PlotSlot&, int)>;
  void run(bool with_data, bool write_records, const Evaluate& evaluate, const Take& take);

  // Every record read into a slot (identifier, locals, work block, local
  // factor), changed by change(slot) on any thread (it must not throw) and
  // written back. Returns the largest |largest| of the slots, not-a-number if
  // one is. A failure (the file cannot be read or written) is raised for the
  // first block it met, after the pass.
  using Change = std::function<void(PlotSlot&)>;
  double rewrite_records(const Change& change);

 private:
  // A failure met while loading a block; it is raised when the ordered
  // processing reaches its plot, so the console reads as in a plot-by-plot pass.
  struct Failure {
    int at = -1;
    std::exception_ptr error;
    common::PlotStatus check = common::PlotStatus::ok;
    int iplot = 0;
  };
  struct Batch {
    std::vector<PlotSlot> slots;
    std::vector<unsigned char> records;  // the block's records as in the file
    int count = 0;
    Failure failure;
    std::exception_ptr write_error;
  };

  int block_count() const { return (sizes_.np + kBlockPlots - 1) / kBlockPlots; }
  int first_of(int block) const { return 1 + block * kBlockPlots; }
  int count_of(int block) const;
  Batch& batch_of(int block);
  // One block of a pass: evaluates it while a worker loads the next (when
  // load_next) and another writes the one before; then takes the one before.
  void run_block(int block, bool load_next, bool with_data, bool write_back, const Evaluate& evaluate,
                 const Take& take);
  void load(Batch& batch, int block, bool with_data);
  void write_span(int first, int count, const unsigned char* bytes) const;
  void write_records(Batch& batch, int block) const;
  void take_block(const Batch& batch, int block, const Take& take) const;
  static int groups(const Batch& batch);
  static void evaluate_group(Batch& batch, int g, const Evaluate& evaluate);

  const Files& files_;
  const Sizes& sizes_;
  WorkerPool pool_;
  std::array<Batch, 3> batches_;
};

}  // namespace estimator
