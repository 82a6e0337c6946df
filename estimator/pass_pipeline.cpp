#include "estimator/pass_pipeline.hpp"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "common/plot_file_layout.hpp"
#include "estimator/plot_files.hpp"

namespace estimator {

PassPipeline::PassPipeline(const Files& files, const Sizes& sizes, int threads)
    : files_(files), sizes_(sizes), pool_(threads) {
  for (Batch& b : batches_) {
    b.slots.resize(kBlockPlots);
    b.records.resize(static_cast<std::size_t>(kBlockPlots) * common::kRecordLength);
  }
}

int PassPipeline::count_of(int block) const { return std::min(kBlockPlots, sizes_.np - first_of(block) + 1); }

// Reads the records (and the measurements) of a block's plots; stops at the
// first failure. Runs on any thread, one block at a time: nothing else reads
// the data file during a pass, and the block's records are its own.
void PassPipeline::load(Batch& batch, int block, bool with_data) {
  const int first = first_of(block), count = count_of(block);
  batch.failure = Failure{};
  batch.write_error = nullptr;
  std::int64_t present = 0;
  try {
    present = files_.locals.read_span(first, count, batch.records.data());
  } catch (...) {
    batch.failure = {0, std::current_exception(), common::PlotStatus::ok, first};
    batch.count = 0;
    return;
  }
  for (int k = 0; k < count; ++k) {
    const int iplot = first + k;
    PlotSlot& s = batch.slots[static_cast<std::size_t>(k)];
    try {
      if (k >= present) files_.locals.refuse_record(iplot);
      s.record_id = decode_record(sizes_, batch.records.data() + static_cast<std::size_t>(k) * common::kRecordLength,
                                  s.locals, s.work, s.lfactor);
      if (with_data) {
        const common::PlotStatus check = read_plot(files_.data, iplot, s.record_id, s.data);
        if (check != common::PlotStatus::ok) {
          batch.failure = {k, nullptr, check, iplot};
          batch.count = k;
          return;
        }
      }
    } catch (...) {
      batch.failure = {k, std::current_exception(), common::PlotStatus::ok, iplot};
      batch.count = k;
      return;
    }
  }
  batch.count = count;
}

// Records first .. first+count-1 from their bytes, up to the used part of the
// last: the bytes past it stay as they are in the file.
void PassPipeline::write_span(int first, int count, const unsigned char* bytes) const {
  const std::int64_t used = common::RecordLayout{sizes_.ng, sizes_.nl}.used_bytes();
  files_.locals.write_span(first, bytes, static_cast<std::int64_t>(count - 1) * common::kRecordLength + used);
}

// The records of the block's evaluated plots, from their slots. Runs on any
// thread; a failure is kept for the calling thread to raise.
void PassPipeline::write_records(Batch& batch, int block) const {
  if (batch.count == 0) return;
  try {
    for (int k = 0; k < batch.count; ++k) {
      const PlotSlot& s = batch.slots[static_cast<std::size_t>(k)];
      encode_record(sizes_, s.record_id, s.locals, s.work, s.lfactor,
                    batch.records.data() + static_cast<std::size_t>(k) * common::kRecordLength);
    }
    write_span(first_of(block), batch.count, batch.records.data());
  } catch (...) {
    batch.write_error = std::current_exception();
  }
}

void PassPipeline::take_block(const Batch& batch, int block, const Take& take) const {
  for (int b = 0; b < batch.count; ++b) take(batch.slots[static_cast<std::size_t>(b)], first_of(block) + b);
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
  const int blocks = block_count();
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
      const int first = first_of(b), count = count_of(b);
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
        write_span(first, count, bytes.data());
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

PassPipeline::Batch& PassPipeline::batch_of(int block) { return batches_[static_cast<std::size_t>(block % 3)]; }

void PassPipeline::run_block(int block, bool load_next, bool with_data, bool write_back, const Evaluate& evaluate,
                             const Take& take) {
  Batch& batch = batch_of(block);
  Batch* const written = write_back && block > 0 ? &batch_of(block - 1) : nullptr;
  // Task 0 reads the next block and task 1 writes the block before (so that
  // a worker starts on them at once); the others evaluate this block.
  const int load_task = load_next ? 0 : -1;
  const int write_task = written ? (load_next ? 1 : 0) : -1;
  const int extra = (load_next ? 1 : 0) + (written ? 1 : 0);
  const std::function<void(int)> task = [&](int t) {
    if (t == load_task) return load(batch_of(block + 1), block + 1, with_data);
    if (t == write_task) return write_records(*written, block - 1);
    evaluate_group(batch, t - extra, evaluate);
  };
  pool_.start(groups(batch) + extra, task);
  try {
    if (block > 0) take_block(batch_of(block - 1), block - 1, take);
  } catch (...) {
    pool_.finish();
    throw;
  }
  pool_.finish();
  if (written && written->write_error) std::rethrow_exception(written->write_error);
}

void PassPipeline::run(bool with_data, bool write_back, const Evaluate& evaluate, const Take& take) {
  files_.locals.forget();
  const int blocks = block_count();
  if (blocks == 0) return;
  load(batch_of(0), 0, with_data);
  int loaded = 1;
  for (int block = 0; block < loaded; ++block) {
    const bool load_next = loaded < blocks && batch_of(block).failure.at < 0;
    run_block(block, load_next, with_data, write_back, evaluate, take);
    if (load_next) ++loaded;
  }
  Batch& last = batch_of(loaded - 1);
  if (write_back) {
    write_records(last, loaded - 1);
    if (last.write_error) std::rethrow_exception(last.write_error);
  }
  take_block(last, loaded - 1, take);
}

}  // namespace estimator
