#include "estimator/worker_pool.hpp"

#include <cstdlib>

namespace estimator {
namespace {

constexpr int kChunk = 4;  // plots taken at a time

}  // namespace

int configured_threads() {
  if (const char* text = std::getenv("ESTIMATOR_THREADS")) {
    const int n = std::atoi(text);
    if (n > 0) return n;
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

WorkerPool::WorkerPool(int threads) {
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { serve(); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
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
    {
      std::unique_lock<std::mutex> lock(mutex_);
      start_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
    }
    work();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (--busy_ == 0) done_.notify_one();
    }
  }
}

void WorkerPool::run(int count, const std::function<void(int)>& task) {
  if (workers_.empty() || count <= kChunk) {
    for (int i = 0; i < count; ++i) task(i);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    task_ = &task;
    count_ = count;
    next_.store(0, std::memory_order_relaxed);
    busy_ = static_cast<int>(workers_.size());
    ++generation_;
  }
  start_.notify_all();
  work();
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return busy_ == 0; });
}

}  // namespace estimator
