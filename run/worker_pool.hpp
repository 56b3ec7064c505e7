#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "run/scheduler.hpp"

namespace quorvex {

// One search iteration as the workers run it (RunIteration, or a counter in
// tests): 1 for an iteration that ran, -1 for one a stop cut short.
using IterationFn = int32_t (*)(int32_t power, int32_t maxBase, int32_t blockSize,
                                int32_t workTerms);

// The threads that run the search for the console run, taking their
// iterations from the scheduler. The run loop never runs a reduction itself,
// so it can save and end a stopped run at once even while a worker is deep
// inside one.
class WorkerPool {
 public:
  // Worker i seeds its own random generator from `seed` and i; worker 0 with
  // `seed` itself, so one worker draws exactly what the run always drew.
  WorkerPool(int32_t threads, uint32_t seed, IterationFn iterate);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int32_t Size() const { return workers_; }
  // Where the run loop hands out its iterations, to these threads and to
  // any other worker that takes them there.
  IterationScheduler& Scheduler() { return scheduler_; }
  // Runs `job` on the first worker, which draws from that worker's generator.
  void RunOnFirstWorker(const std::function<void()>& job);

 private:
  void Work(int32_t index, uint32_t seed);

  IterationFn iterate_;
  int32_t workers_;
  IterationScheduler scheduler_;
  std::atomic<const std::function<void()>*> job_{nullptr};
  std::atomic<bool> shutdown_{false};
  std::vector<std::jthread> threads_;
};

// The seed of worker `index`: `seed` for worker 0, and for the others values
// spread far apart, so that no two workers draw the same bases.
uint32_t WorkerSeed(uint32_t seed, int32_t index);

}  // namespace quorvex
