#include "estimator/worker_pool.hpp"

namespace estimator {
namespace {

constexpr int kChunk = 1;        // tasks (groups of plots) taken at a time
constexpr int kSpins = 20000;    // polls before sleeping (some tens of microseconds)

}  // namespace

WorkerPool::WorkerPool(int threads) {
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { serve(); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_.store(true);
  }
  start_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void WorkerPool::work() {
  for (;;) {
    const int first = next_.fetch_add(kChunk, std::memory_order_relaxed);
    if (first >= count_) return;
    const int last = first + kChunk < count_ ? first + kChunk : count_;
    for (int i = first; i < last; ++i) (*task_)(i);
  }
}

void WorkerPool::serve() {
  unsigned seen = 0;
  for (;;) {
    // A new block, or the end: poll first, then sleep.
    int spins = 0;
    while (generation_.load(std::memory_order_acquire) == seen && !stopping_.load(std::memory_order_relaxed)) {
      if (++spins < kSpins) {
        if (spins % 64 == 0) std::this_thread::yield();
        continue;
      }
      std::unique_lock<std::mutex> lock(mutex_);
      start_.wait(lock, [&] { return stopping_.load() || generation_.load() != seen; });
    }
    if (stopping_.load()) return;
    seen = generation_.load(std::memory_order_acquire);
    work();
    if (busy_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.notify_one();
    }
  }
}

void WorkerPool::start(int count, const std::function<void(int)>& task) {
  task_ = &task;
  count_ = count;
  next_.store(0, std::memory_order_relaxed);
  busy_.store(static_cast<int>(workers_.size()), std::memory_order_relaxed);
  if (workers_.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    generation_.fetch_add(1, std::memory_order_release);
  }
  start_.notify_all();
}

void WorkerPool::finish() {
  work();
  for (int spins = 0; busy_.load(std::memory_order_acquire) != 0;) {
    if (++spins < kSpins) {
      if (spins % 64 == 0) std::this_thread::yield();
      continue;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return busy_.load() == 0; });
  }
  task_ = nullptr;
}

}  // namespace estimator
