// A fixed pool of threads that run the per-plot work of one block of plots.
// The calling thread takes part; with one thread everything runs inline.
//
// Blocks follow each other closely, so a worker that has finished a block
// first spins briefly waiting for the next one before it goes to sleep, and
// the caller spins briefly waiting for the workers to finish.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace estimator {

class WorkerPool {
 public:
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Calls task(i) for every i in [0, count), spread over the threads, and
  // returns when all calls have returned. Tasks must not throw.
  void run(int count, const std::function<void(int)>& task) {
    start(count, task);
    finish();
  }
  // The same in two halves: start() sets the other threads to work and
  // returns, so that the caller can do something else meanwhile; finish()
  // takes part in what is left and returns when every call has returned. The
  // task must live until finish() returns.
  void start(int count, const std::function<void(int)>& task);
  void finish();
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
  std::atomic<int> busy_{0};
  std::atomic<unsigned> generation_{0};
  std::atomic<bool> stopping_{false};
};

}  // namespace estimator
