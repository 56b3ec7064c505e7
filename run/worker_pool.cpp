#include "run/worker_pool.hpp"

#include <optional>

#include "base/console.hpp"
#include "search/random.hpp"

namespace quorvex {

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
  shutdown_ = true;
  scheduler_.Notify();
  // The jthreads join here.
}

void WorkerPool::Work(int32_t index, uint32_t seed) {
  SeedRandom(seed);
  const bool ownBlocks = workers_ > 1;
  const auto interrupted = [&] { return shutdown_ || (index == 0 && job_ != nullptr); };
  for (;;) {
    IterationArgs args;
    if (!scheduler_.WaitAndTake(args, interrupted)) {
      if (shutdown_) return;
      (*job_)();
      job_ = nullptr;
      scheduler_.Notify();
      continue;
    }
    int32_t result;
    {
      // Beside other workers, an iteration's lines go out as one block.
      std::optional<ConsoleBlock> block;
      if (ownBlocks) block.emplace();
      result = iterate_(args.power, args.maxBase, args.blockSize, args.workTerms);
    }
    scheduler_.Finish(result);
  }
}

void WorkerPool::RunOnFirstWorker(const std::function<void()>& job) {
  job_ = &job;
  scheduler_.Notify();
  scheduler_.WaitFor([this] { return job_ == nullptr; });
}

}  // namespace quorvex
