#include "estimator/worker_pool.hpp"

#include <stdexcept>

namespace estimator {
namespace {

constexpr int kSpins = 20000;  // polls before sleeping (some tens of microseconds)

std::uint64_t generation_of(std::uint64_t state) { return state >> 32; }
int count_of(std::uint64_t state) { return static_cast<int>(state >> 16 & 0xffff); }
int next_of(std::uint64_t state) { return static_cast<int>(state & 0xffff); }

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

bool WorkerPool::run_one() {
  std::uint64_t s = state_.load(std::memory_order_acquire);
  for (;;) {
    if (next_of(s) >= count_of(s)) return false;
    // Taking the task keeps its block from finishing, so task_ stays the
    // block's until the task has returned.
    if (state_.compare_exchange_weak(s, s + 1, std::memory_order_acq_rel, std::memory_order_acquire)) break;
  }
  (*task_)(next_of(s));
  if (finished_.fetch_add(1, std::memory_order_acq_rel) + 1 == count_of(s)) {
    std::lock_guard<std::mutex> lock(mutex_);
    done_.notify_one();
  }
  return true;
}

void WorkerPool::serve() {
  std::uint64_t seen = 0;
  for (;;) {
    // A new block, or the end: poll first, then sleep.
    const auto waiting = [&] {
      return generation_of(state_.load(std::memory_order_acquire)) == seen &&
             !stopping_.load(std::memory_order_relaxed);
    };
    for (int spins = 0; waiting();) {
      if (++spins < kSpins) {
        if (spins % 64 == 0) std::this_thread::yield();
        continue;
      }
      std::unique_lock<std::mutex> lock(mutex_);
      start_.wait(lock, [&] { return !waiting(); });
    }
    if (stopping_.load()) return;
    seen = generation_of(state_.load(std::memory_order_acquire));
    while (run_one()) {
    }
  }
}

void WorkerPool::start(int count, const std::function<void(int)>& task) {
  if (count < 0 || count > kMaxTasks) throw std::logic_error("WorkerPool: a block of more than 65535 tasks");
  task_ = &task;
  count_ = count;
  finished_.store(0, std::memory_order_relaxed);
  ++generation_;
  if (workers_.empty()) {
    state_.store(state_of(generation_, count, 0), std::memory_order_relaxed);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.store(state_of(generation_, count, 0), std::memory_order_release);
  }
  start_.notify_all();
}

void WorkerPool::finish() {
  while (run_one()) {
  }
  const auto pending = [&] { return finished_.load(std::memory_order_acquire) != count_; };
  for (int spins = 0; pending();) {
    if (++spins < kSpins) {
      if (spins % 64 == 0) std::this_thread::yield();
      continue;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [&] { return !pending(); });
  }
  task_ = nullptr;
}

}  // namespace estimator
