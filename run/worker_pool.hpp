#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvex {

// One search iteration as the workers run it (RunIteration, or a counter in
// tests): 1 for an iteration that ran, -1 for one a stop cut short.
using IterationFn = int32_t (*)(int32_t power, int32_t maxBase, int32_t blockSize,
                                int32_t workTerms);

struct IterationArgs {
  int32_t power;
  int32_t maxBase;
  int32_t blockSize;
  int32_t workTerms;
};

// The threads that run the search for the console run. The run loop hands
// them batches of iterations and waits; it never runs a reduction itself, so
// it can save and end a stopped run at once even while a worker is deep inside
// one, where the reduction looks at no stop for many seconds.
class WorkerPool {
 public:
  // Worker i seeds its own random generator from `seed` and i; worker 0 with
  // `seed` itself, so one worker draws exactly what the run always drew.
  WorkerPool(int32_t threads, uint32_t seed, IterationFn iterate);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int32_t Size() const { return workers_; }

  // Runs up to `count` iterations, each free worker taking the next, and
  // hands out no more once a stop is requested. Returns how many finished;
  // one that a stop cut short does not count. After a stop it waits only a
  // moment for the workers: one still inside a reduction is left behind.
  int32_t RunIterations(const IterationArgs& args, int32_t count);
  // Runs `job` on the first worker, which draws from that worker's generator.
  void RunOnFirstWorker(const std::function<void()>& job);
  // A worker was left behind after a stop: the process must end without
  // waiting for it.
  bool Abandoned() const { return abandoned_; }
  // Called every few tens of milliseconds by the thread that waits for the
  // workers, for as long as it waits.
  void WhileWaiting(std::function<void()> tick) { tick_ = std::move(tick); }
  // Iterations finished since the pool began.
  int64_t FinishedIterations();

  // For workers in other processes, served by a thread of the caller's: the
  // next iteration to run, when the run loop is handing one out now.
  bool TakeIteration(IterationArgs& args);
  // Reports an iteration taken with TakeIteration; `result` as IterationFn's.
  void FinishIteration(int32_t result);

 private:
  void Work(int32_t index, uint32_t seed);
  // Waits for a worker to report, or a moment, then ticks.
  void Wait(std::unique_lock<std::mutex>& lock);
  bool HasWorkFor(int32_t index) const;

  IterationFn iterate_;
  int32_t workers_;
  std::vector<std::jthread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;  // workers wait for work here
  std::condition_variable done_;  // the run loop waits for them here
  IterationArgs args_{};
  int32_t count_ = 0;
  int32_t started_ = 0;
  int32_t running_ = 0;
  int32_t finished_ = 0;
  const std::function<void()>* job_ = nullptr;
  bool shutdown_ = false;
  bool abandoned_ = false;
  int64_t totalFinished_ = 0;
  std::function<void()> tick_;
};

// The seed of worker `index`: `seed` for worker 0, and for the others values
// spread far apart, so that no two workers draw the same bases.
uint32_t WorkerSeed(uint32_t seed, int32_t index);

}  // namespace quorvex
