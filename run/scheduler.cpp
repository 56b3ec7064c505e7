#include "run/scheduler.hpp"

#include <optional>

#include "base/run_state.hpp"

namespace quorvex {

namespace {

using Clock = std::chrono::steady_clock;

// How often the waiting run loop looks at the stop flag: with the grace,
// well within the second a stop may take.
constexpr auto kStopLookPeriod = std::chrono::milliseconds(20);

}  // namespace

bool IterationScheduler::Available() const {
  return started_ < count_ && !StopNow();
}

int32_t IterationScheduler::Run(const IterationArgs& args, int32_t count) {
  std::unique_lock lock(mutex_);
  args_ = args;
  count_ = count;
  started_ = 0;
  finished_ = 0;
  work_.notify_all();
  std::optional<Clock::time_point> stopSeen;
  for (;;) {
    const bool stop = StopNow();
    if (running_ == 0 && (started_ >= count_ || stop)) break;
    if (stop) {
      const Clock::time_point now = Clock::now();
      if (!stopSeen) stopSeen = now;
      if (now - *stopSeen >= kStopGrace) {
        abandoned_ = true;
        break;
      }
    }
    Wait(lock);
  }
  count_ = started_;  // nothing more is handed out
  return finished_;
}

bool IterationScheduler::Take(IterationArgs& args) {
  std::lock_guard lock(mutex_);
  if (!Available()) return false;
  args = args_;
  ++started_;
  ++running_;
  return true;
}

bool IterationScheduler::WaitAndTake(IterationArgs& args,
                                     const std::function<bool()>& interrupted) {
  std::unique_lock lock(mutex_);
  work_.wait(lock, [&] { return interrupted() || Available(); });
  if (interrupted()) return false;
  args = args_;
  ++started_;
  ++running_;
  return true;
}

void IterationScheduler::Finish(int32_t result) {
  {
    std::lock_guard lock(mutex_);
    --running_;
    if (result >= 0) {
      ++finished_;
      ++totalFinished_;
    }
  }
  done_.notify_all();
}

void IterationScheduler::Notify() {
  { std::lock_guard lock(mutex_); }
  work_.notify_all();
  done_.notify_all();
}

void IterationScheduler::WaitFor(const std::function<bool()>& done) {
  std::unique_lock lock(mutex_);
  while (!done()) Wait(lock);
}

void IterationScheduler::Wait(std::unique_lock<std::mutex>& lock) {
  done_.wait_for(lock, kStopLookPeriod);
  if (!tick_) return;
  lock.unlock();
  tick_();
  lock.lock();
}

int64_t IterationScheduler::FinishedIterations() {
  std::lock_guard lock(mutex_);
  return totalFinished_;
}

}  // namespace quorvex
