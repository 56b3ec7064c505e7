// Iterations per second with several workers against one, and the share of
// an iteration spent holding the store, which workers take one at a time:
//   quorvex_threads [iterations] [seed] [most workers] [maxBase] [power]
// (default 40 iterations, seed 1, up to 2 workers, k = 5, MaxBase 100,
// BlockSize 20, WorkTerms 0), each count of workers from an empty store.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "bench/bench_support.hpp"
#include "run/exported.hpp"
#include "run/worker_pool.hpp"
#include "search/search_iteration.hpp"

namespace {

using namespace quorvex;
using Clock = std::chrono::steady_clock;

struct Totals {
  std::mutex mutex;
  double iterationSeconds = 0;
  double storeSeconds = 0;
};
Totals gTotals;

// An iteration as the run loop runs it, adding this worker's time to the totals.
int32_t TimedIteration(int32_t power, int32_t maxBase, int32_t blockSize, int32_t workTerms) {
  gSearchTiming = SearchTiming{};
  const int32_t result = RunIteration(power, maxBase, blockSize, workTerms);
  std::lock_guard lock(gTotals.mutex);
  gTotals.iterationSeconds += gSearchTiming.totalSeconds;
  gTotals.storeSeconds += gSearchTiming.storeSeconds;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t iterations = argc > 1 ? std::atoi(argv[1]) : 40;
  const uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1;
  const int32_t most = argc > 3 ? std::atoi(argv[3]) : 2;
  const int32_t maxBase = argc > 4 ? std::atoi(argv[4]) : 100;
  const int32_t power = argc > 5 ? std::atoi(argv[5]) : 5;
  double single = 0;
  for (int32_t workers = 1; workers <= most; ++workers) {
    bench::ScratchFolder folder;
    ResetEngine();
    gTotals.iterationSeconds = gTotals.storeSeconds = 0;
    double wall = 0;
    {
      bench::MutedConsole muted;
      WorkerPool pool(workers, seed, TimedIteration);
      const Clock::time_point start = Clock::now();
      pool.Scheduler().Run(IterationArgs{power, maxBase, 20, 0}, iterations);
      wall = std::chrono::duration<double>(Clock::now() - start).count();
    }
    const double rate = iterations / wall;
    if (workers == 1) single = rate;
    std::printf(
        "%d worker%s: %d iterations in %.2f s, %.2f iterations/s (%.2f times one), "
        "store held %.2f%% of iteration time, %d stored\n",
        workers, workers == 1 ? "" : "s", iterations, wall, rate, rate / single,
        100 * gTotals.storeSeconds / gTotals.iterationSeconds, gStore.count);
  }
  return 0;
}
