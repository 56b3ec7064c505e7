#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace quorvex {

struct IterationArgs {
  int32_t power;
  int32_t maxBase;
  int32_t blockSize;
  int32_t workTerms;
};

// Hands the run loop's iterations to whatever runs them: the worker threads
// of this process and, in a search spread over processes, the other
// processes. One stop rule for all of them: after a stop nothing more is
// handed out, and the run loop waits kStopGrace for the iterations under way;
// one still running after that (a lattice reduction can go for seconds
// without looking at the stop) is left behind, and the run ends without it.
class IterationScheduler {
 public:
  static constexpr std::chrono::milliseconds kStopGrace{300};

  // The run loop: hands out up to `count` iterations with these arguments and
  // waits until they are done, or until the grace after a stop is over.
  // Returns how many finished; one a stop cut short does not count.
  int32_t Run(const IterationArgs& args, int32_t count);
  // A worker: the next iteration, when one is to be handed out now.
  bool Take(IterationArgs& args);
  // A worker thread: waits until an iteration can be taken (true) or
  // `interrupted` holds (false), which is judged again at every Notify.
  bool WaitAndTake(IterationArgs& args, const std::function<bool()>& interrupted);
  // A worker: the iteration it took ended, 1 when it ran, -1 when a stop cut it short.
  void Finish(int32_t result);
  // Wakes the waiting workers and the waiting run loop to judge again.
  void Notify();
  // Waits until `done` holds, ticking all the while (see WhileWaiting).
  void WaitFor(const std::function<bool()>& done);

  // Called every few tens of milliseconds while the run loop waits.
  void WhileWaiting(std::function<void()> tick) { tick_ = std::move(tick); }
  // An iteration was left behind after a stop: the process must end without
  // waiting for it.
  bool Abandoned() const { return abandoned_; }
  // Iterations finished since the scheduler began.
  int64_t FinishedIterations();

 private:
  bool Available() const;
  void Wait(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable work_;  // workers wait for iterations here
  std::condition_variable done_;  // the run loop waits for them here
  IterationArgs args_{};
  int32_t count_ = 0;
  int32_t started_ = 0;
  int32_t running_ = 0;
  int32_t finished_ = 0;
  int64_t totalFinished_ = 0;
  bool abandoned_ = false;
  std::function<void()> tick_;
};

}  // namespace quorvex
