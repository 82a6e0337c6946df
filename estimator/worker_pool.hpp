// A fixed pool of threads that run the per-plot work of one block of plots.
// The calling thread takes part; with one thread everything runs inline.
//
// Blocks follow each other closely, so a worker that has finished a block
// first spins briefly waiting for the next one before it goes to sleep, and
// the caller spins briefly waiting for the tasks to finish. The caller never
// waits for a worker that has not woken: once every task of a block has been
// taken and has returned, the block is done, whoever ran its tasks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
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

  static constexpr int kMaxTasks = 0xffff;  // tasks of one block

 private:
  // The block's generation, its number of tasks and the next task to take,
  // in one word, so that a task is taken only from the block it belongs to.
  static constexpr std::uint64_t state_of(std::uint64_t generation, int count, int next) {
    return generation << 32 | static_cast<std::uint64_t>(count) << 16 | static_cast<std::uint64_t>(next);
  }
  // Takes the next task of the current block and runs it; false if none is left.
  bool run_one();
  void serve();

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable start_;
  std::condition_variable done_;
  const std::function<void(int)>* task_ = nullptr;
  std::uint64_t generation_ = 0;  // the caller's
  int count_ = 0;
  std::atomic<std::uint64_t> state_{0};
  std::atomic<int> finished_{0};  // tasks of the current block that have returned
  std::atomic<bool> stopping_{false};
};

}  // namespace estimator
