// The worker pool runs every task of a block exactly once and returns only
// when all have returned, whoever runs them: also when a worker wakes late,
// after its block is done and the next has begun.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "estimator/worker_pool.hpp"

namespace {

TEST(WorkerPool, EveryTaskOfEveryBlockRunsOnceBeforeFinishReturns) {
  for (int threads : {1, 2, 3, 5}) {
    estimator::WorkerPool pool(threads);
    std::mt19937 random(static_cast<unsigned>(threads));
    std::vector<std::atomic<int>> runs(300);
    for (int block = 0; block < 3000; ++block) {
      const int count = static_cast<int>(random() % 300);  // 0 included
      for (auto& r : runs) r.store(0);
      const bool slow = block % 7 == 0;  // tasks that outlast the workers' spinning
      const std::function<void(int)> task = [&](int i) {
        if (slow && i % 50 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        runs[static_cast<std::size_t>(i)].fetch_add(1);
      };
      pool.start(count, task);
      // Sometimes the caller is busy long enough for the workers to sleep.
      if (block % 11 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
      pool.finish();
      for (int i = 0; i < 300; ++i)
        ASSERT_EQ(runs[static_cast<std::size_t>(i)].load(), i < count ? 1 : 0)
            << "threads " << threads << ", block " << block << ", task " << i << " of " << count;
    }
  }
}

}  // namespace
