#include "run/worker_pool.hpp"

#include <chrono>
#include <optional>

#include "base/console.hpp"
#include "base/run_state.hpp"
#include "search/random.hpp"

namespace quorvex {

namespace {

using Clock = std::chrono::steady_clock;

// How often the waiting run loop looks at the stop flag, and how long after a
// stop it waits for the workers before it leaves behind the ones still inside
// a reduction: together well within the second a stop may take.
constexpr auto kStopLookPeriod = std::chrono::milliseconds(20);
constexpr auto kStopGrace = std::chrono::milliseconds(300);

}  // namespace

uint32_t WorkerSeed(uint32_t seed, int32_t index) {
  // Weyl steps of the golden ratio: distinct for every index below 2^32.
  return seed + static_cast<uint32_t>(index) * 0x9E3779B9u;
}

WorkerPool::WorkerPool(int32_t threads, uint32_t seed, IterationFn iterate)
    : iterate_(iterate), workers_(threads < 1 ? 1 : threads) {
  threads_.reserve(static_cast<size_t>(workers_));
  for (int32_t i = 0; i < workers_; ++i) {
    threads_.emplace_back([this, i, seed] { Work(i, WorkerSeed(seed, i)); });
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
  }
  wake_.notify_all();
  // The jthreads join here.
}

bool WorkerPool::HasWorkFor(int32_t index) const {
  if (job_ != nullptr) return index == 0;
  return started_ < count_ && !StopNow();
}

void WorkerPool::Work(int32_t index, uint32_t seed) {
  SeedRandom(seed);
  const bool ownBlocks = workers_ > 1;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return shutdown_ || HasWorkFor(index); });
    if (shutdown_) return;
    if (job_ != nullptr) {
      const std::function<void()>* job = job_;
      lock.unlock();
      (*job)();
      lock.lock();
      job_ = nullptr;
      done_.notify_all();
      continue;
    }
    const IterationArgs args = args_;
    ++started_;
    ++running_;
    lock.unlock();
    int32_t result;
    {
      // Beside other workers, an iteration's lines go out as one block.
      std::optional<ConsoleBlock> block;
      if (ownBlocks) block.emplace();
      result = iterate_(args.power, args.maxBase, args.blockSize, args.workTerms);
    }
    lock.lock();
    --running_;
    if (result >= 0) {
      ++finished_;
      ++totalFinished_;
    }
    done_.notify_all();
  }
}

int32_t WorkerPool::RunIterations(const IterationArgs& args, int32_t count) {
  std::unique_lock lock(mutex_);
  args_ = args;
  count_ = count;
  started_ = 0;
  finished_ = 0;
  wake_.notify_all();
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

void WorkerPool::RunOnFirstWorker(const std::function<void()>& job) {
  std::unique_lock lock(mutex_);
  job_ = &job;
  wake_.notify_all();
  while (job_ != nullptr) Wait(lock);
}

void WorkerPool::Wait(std::unique_lock<std::mutex>& lock) {
  done_.wait_for(lock, kStopLookPeriod);
  if (!tick_) return;
  lock.unlock();
  tick_();
  lock.lock();
}

bool WorkerPool::TakeIteration(IterationArgs& args) {
  std::lock_guard lock(mutex_);
  if (job_ != nullptr || started_ >= count_ || StopNow()) return false;
  args = args_;
  ++started_;
  ++running_;
  return true;
}

void WorkerPool::FinishIteration(int32_t result) {
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

int64_t WorkerPool::FinishedIterations() {
  std::lock_guard lock(mutex_);
  return totalFinished_;
}

}  // namespace quorvex
