// A fixed pool of threads that run the per-plot work of one block of plots.
// The calling thread takes part; with one thread everything runs inline.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace estimator {

// Threads to use: ESTIMATOR_THREADS when set to a positive number, else every core.
int configured_threads();

class WorkerPool {
 public:
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Calls task(i) for every i in [0, count), spread over the threads, and
  // returns when all calls have returned. Tasks must not throw.
  void run(int count, const std::function<void(int)>& task);
  int threads() const { return static_cast<int>(workers_.size()) + 1; }

 private:
  void work();
  void serve();

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable start_;
  std::condition_variable done_;
  const std::function<void(int)>* task_ = nullptr;
  int count_ = 0;
  std::atomic<int> next_{0};
  int busy_ = 0;
  unsigned generation_ = 0;
  bool stopping_ = false;
};

}  // namespace estimator
