#include "estimator/pass_pipeline.hpp"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "common/plot_file_layout.hpp"
#include "estimator/plot_files.hpp"

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

double PassPipeline::rewrite_records(const Change& change) {
  io::DirectAccessFile& file = files_.locals;
  file.forget();
  if (file.records_in_file() < sizes_.np) file.refuse_record(file.records_in_file() + 1);
  const int np = sizes_.np;
  const int blocks = (np + kBlockPlots - 1) / kBlockPlots;
  const std::int64_t used = common::RecordLayout{sizes_.ng, sizes_.nl}.used_bytes();
  std::atomic<int> next{0};
  std::mutex mutex;
  double largest = 0.0;
  int failed_block = blocks;
  std::exception_ptr failure;
  // One task per thread, each taking blocks until none is left.
  const std::function<void(int)> task = [&](int) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(kBlockPlots) * common::kRecordLength);
    PlotSlot slot{};
    for (int b; (b = next.fetch_add(1)) < blocks;) {
      const int first = 1 + b * kBlockPlots;
      const int count = std::min(kBlockPlots, np - first + 1);
      try {
        file.read_span(first, count, bytes.data());
        double block_largest = 0.0;
        for (int k = 0; k < count; ++k) {
          unsigned char* record = bytes.data() + static_cast<std::size_t>(k) * common::kRecordLength;
          slot.record_id = decode_record(sizes_, record, slot.locals, slot.work, slot.lfactor);
          change(slot);
          encode_record(sizes_, slot.record_id, slot.locals, slot.work, slot.lfactor, record);
          block_largest = max_abs(block_largest, slot.largest);
        }
        file.write_span(first, bytes.data(), static_cast<std::int64_t>(count - 1) * common::kRecordLength + used);
        const std::lock_guard<std::mutex> lock(mutex);
        largest = max_abs(largest, block_largest);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (b < failed_block) {
          failed_block = b;
          failure = std::current_exception();
        }
      }
    }
  };
  pool_.run(pool_.threads(), task);
  if (failure) std::rethrow_exception(failure);
  return largest;
}

void PassPipeline::run(bool with_data, const Evaluate& evaluate, const Take& take) {
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
