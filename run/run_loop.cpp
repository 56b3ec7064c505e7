#include "run/run_loop.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "base/console.hpp"
#include "base/run_state.hpp"
#include "run/parameters.hpp"
#include "search/cross_reduction.hpp"
#include "search/reducer.hpp"
#include "store/checkpoint.hpp"
#include "store/solution_store.hpp"

namespace quorvex {

namespace {

// A stop keeps everything: the counters of the last finished iteration and
// the store. Workers left inside a reduction hold no part of the store.
int StopRun() {
  std::lock_guard lock(StoreMutex());
  SaveParameters();
  SaveCheckpoint(gParams.POWER);
  FlushConsole();
  return 1;
}

void SaveAll() {
  std::lock_guard lock(StoreMutex());
  SaveParameters();
  SaveCheckpoint(gParams.POWER);
}

// Adds one to a schedule counter and tells whether its period is reached. The
// sum is taken in 64 bits: a counter loaded at the top of the 32-bit range must
// reach its period, not wrap past it.
bool PeriodReached(int32_t& counter, int32_t period) {
  bool reached = static_cast<int64_t>(counter) + 1 >= period;
  counter = reached ? 0 : counter + 1;
  return reached;
}

// Iterations until a schedule counter reaches its period: the workers may run
// that many before the run loop must save or cross-reduce. A period of 0 never
// asks for anything.
int64_t IterationsUntil(int32_t counter, int32_t period) {
  if (period == 0) return INT64_MAX;
  return std::max<int64_t>(1, static_cast<int64_t>(period) - counter);
}

// A quiet run's one line about every ten seconds, in place of the lines of
// every iteration.
class StatusLine {
 public:
  explicit StatusLine(IterationScheduler& scheduler) : scheduler_(scheduler), last_(Clock::now()) {}
  void Tick() {
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - last_).count();
    if (seconds < kPeriodSeconds) return;
    const int64_t finished = scheduler_.FinishedIterations();
    const StoreGlance store = GlanceAtStore();
    // The default's line stays as it always was.
    const std::string reducer = DefaultReducerInUse()
                                    ? ""
                                    : ", " + std::to_string(ReducedAgain()) + " " + ReducerName() +
                                          " failures reduced again with " + kDefaultReducer;
    Print("Status: %.2f iterations/s, MaxBase %d, %d solutions stored, best m+n %lld%s\n",
          static_cast<double>(finished - finished_) / seconds, gParams.START, store.count,
          static_cast<long long>(store.fewestPowers), reducer.c_str());
    FlushConsole();
    last_ = now;
    finished_ = finished;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr double kPeriodSeconds = 10.0;
  IterationScheduler& scheduler_;
  Clock::time_point last_;
  int64_t finished_ = 0;
};

// Runs the rest of the current MaxBase step. Returns false on a stop.
bool RunStep(WorkerPool& pool) {
  Parameters& p = gParams;
  while (p.CURRENTITERATION < p.ITERATIONS) {
    if (StopNow()) return false;
    // Up to the next save or cross-reduction point, so that both come exactly
    // where they would after one iteration at a time. Counters wrapped to the
    // bottom of the 32-bit range leave more than 2^31 iterations to go; the
    // workers take them a 32-bit batch at a time.
    const int64_t batch = std::min({static_cast<int64_t>(p.ITERATIONS) - p.CURRENTITERATION,
                                    IterationsUntil(p.CURRENTSAVE, p.SAVE),
                                    IterationsUntil(p.CURRENTNEMB, p.NEMB), int64_t{INT32_MAX}});
    const int32_t finished = pool.Scheduler().Run(
        IterationArgs{p.POWER, p.START, p.BLOCKSIZE, p.WORKTERMS}, static_cast<int32_t>(batch));
    for (int32_t i = 0; i < finished; ++i) {
      ++p.CURRENTITERATION;
      if (PeriodReached(p.CURRENTSAVE, p.SAVE) && p.SAVE != 0) SaveAll();
      if (PeriodReached(p.CURRENTNEMB, p.NEMB) && p.NEMB != 0) {
        SaveAll();
        pool.RunOnFirstWorker([] { CrossReductionPass(gParams.WEIGHT, gParams.NEMBPASS); });
      }
    }
    if (finished < batch) return false;
  }
  return true;
}

}  // namespace

int RunLoop(WorkerPool& pool) {
  Parameters& p = gParams;
  StatusLine status(pool.Scheduler());
  if (QuietConsole()) pool.Scheduler().WhileWaiting([&status] { status.Tick(); });
  // The status line lives here only.
  struct Untick {
    WorkerPool& pool;
    ~Untick() { pool.Scheduler().WhileWaiting(nullptr); }
  } untick{pool};
  for (;;) {
    while (p.START != p.END) {
      Print("Max=%d\n", p.START);
      FlushConsole();
      const bool iterated = p.CURRENTITERATION < p.ITERATIONS;
      if (!RunStep(pool)) return StopRun();
      // A step without iterations would otherwise never look at the stop flag.
      if (!iterated && StopNow()) return StopRun();
      p.CURRENTITERATION = 0;
      p.START += p.END > p.START ? 1 : -1;
      SaveParameters();
    }
    if (p.RESTART < 0) {
      SaveCheckpoint(p.POWER);
      FlushConsole();
      return 0;
    }
    // Walking again from RESTART would search nothing, forever.
    if (p.RESTART == p.END || p.ITERATIONS <= 0) {
      SaveAll();
      Print("Restart at %d would search nothing: run ends\n", p.RESTART);
      FlushConsole();
      return 0;
    }
    p.START = p.RESTART;
  }
}

}  // namespace quorvex
