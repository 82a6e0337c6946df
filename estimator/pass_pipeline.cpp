#include "estimator/pass_pipeline.hpp"

#include <algorithm>

namespace estimator {

PassPipeline::PassPipeline(const Files& files, const Sizes& sizes, int threads)
    : files_(files), sizes_(sizes), pool_(threads) {
  for (Batch& b : batches_) b.slots.resize(kBlockPlots);
}

// Reads the records (and the measurements) of plots first .. first+count-1;
// stops at the first failure.
void PassPipeline::load(Batch& batch, int first, int count, bool with_data) {
  batch.failure = Failure{};
  for (int k = 0; k < count; ++k) {
    const int iplot = first + k;
    PlotSlot& s = batch.slots[static_cast<std::size_t>(k)];
    try {
      s.record_id = get(files_, sizes_, iplot, s.locals, s.work, s.lfactor);
      if (with_data) {
        const PlotCheck check = read_plot(files_.data, iplot, s.record_id, s.data);
        if (check != PlotCheck::ok) {
          batch.failure = {k, nullptr, check, iplot};
          batch.count = k;
          return;
        }
      }
    } catch (...) {
      batch.failure = {k, std::current_exception(), PlotCheck::ok, iplot};
      batch.count = k;
      return;
    }
  }
  batch.count = count;
}

void PassPipeline::take_block(const Batch& batch, int first, const Take& take) {
  for (int b = 0; b < batch.count; ++b) take(batch.slots[static_cast<std::size_t>(b)], first + b);
  const Failure& failure = batch.failure;
  if (failure.at < 0) return;
  if (failure.error) std::rethrow_exception(failure.error);
  refuse_plot(failure.check, failure.iplot, batch.slots[static_cast<std::size_t>(failure.at)].data);
}

int PassPipeline::groups(const Batch& batch) { return (batch.count + kGroupPlots - 1) / kGroupPlots; }

void PassPipeline::evaluate_group(Batch& batch, int g, const Evaluate& evaluate) {
  const int begin = g * kGroupPlots;
  const int end = std::min(batch.count, begin + kGroupPlots);
  evaluate(std::span<PlotSlot>(batch.slots.data() + begin, static_cast<std::size_t>(end - begin)));
}

void PassPipeline::run_on_caller(bool with_data, const Evaluate& evaluate, const Take& take) {
  Batch& batch = batches_[0];
  for (int first = 1; first <= sizes_.np; first += kBlockPlots) {
    load(batch, first, std::min(kBlockPlots, sizes_.np - first + 1), with_data);
    for (int g = 0; g < groups(batch); ++g) evaluate_group(batch, g, evaluate);
    take_block(batch, first, take);  // raises a failure met while loading
  }
}

void PassPipeline::run(bool with_data, const Evaluate& evaluate, const Take& take, Spread spread) {
  if (spread == Spread::caller) return run_on_caller(with_data, evaluate, take);
  const int np = sizes_.np;
  const int blocks = (np + kBlockPlots - 1) / kBlockPlots;
  int loaded = 0;
  bool stopped = false;
  const auto batch_of = [this](int block) -> Batch& { return batches_[static_cast<std::size_t>(block % 3)]; };
  const auto load_next = [&] {
    if (loaded == blocks || stopped) return;
    const int first = 1 + loaded * kBlockPlots;
    Batch& batch = batch_of(loaded);
    load(batch, first, std::min(kBlockPlots, np - first + 1), with_data);
    stopped = batch.failure.at >= 0;
    ++loaded;
  };
  load_next();
  for (int block = 0; block < loaded; ++block) {
    Batch& batch = batch_of(block);
    const std::function<void(int)> task = [&batch, &evaluate](int g) { evaluate_group(batch, g, evaluate); };
    pool_.start(groups(batch), task);
    try {
      if (block > 0) take_block(batch_of(block - 1), 1 + (block - 1) * kBlockPlots, take);
      load_next();
    } catch (...) {
      pool_.finish();
      throw;
    }
    pool_.finish();
  }
  if (loaded > 0) take_block(batch_of(loaded - 1), 1 + (loaded - 1) * kBlockPlots, take);
}

}  // namespace estimator
