#include "mpi/spread_search.hpp"

#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "base/run_state.hpp"
#include "base/signals.hpp"
#include "run/exported.hpp"
#include "run/worker_pool.hpp"
#include "search/random.hpp"
#include "search/reducer.hpp"
#include "store/record_codec.hpp"
#include "store/result_log.hpp"
#include "store/solution_store.hpp"

namespace quorvex {

namespace {

// Message tags, and the first number of a message from process 0.
constexpr int kStartTag = 1;   // process 0 -> others: how to begin, or to quit at once
constexpr int kWorkTag = 2;    // process 0 -> one: an iteration to run, or stop
constexpr int kResultTag = 3;  // one -> process 0: how its iteration ended, and what it found
enum Order : int32_t { kQuit = 0, kBegin = 1, kIterate = 2, kStop = 3 };

void Send(const std::vector<int32_t>& message, int to, int tag) {
  MPI_Send(message.data(), static_cast<int>(message.size()), MPI_INT32_T, to, tag, MPI_COMM_WORLD);
}

std::vector<int32_t> Receive(int from, int tag, int* source = nullptr) {
  MPI_Status status;
  MPI_Probe(from, tag, MPI_COMM_WORLD, &status);
  int count = 0;
  MPI_Get_count(&status, MPI_INT32_T, &count);
  std::vector<int32_t> message(static_cast<size_t>(count));
  MPI_Recv(message.data(), count, MPI_INT32_T, status.MPI_SOURCE, tag, MPI_COMM_WORLD,
           MPI_STATUS_IGNORE);
  if (source != nullptr) *source = status.MPI_SOURCE;
  return message;
}

// Inserts the records of a message from `at` on, `count` of them.
void InsertAll(const std::vector<int32_t>& message, size_t at, int32_t count, int32_t mode) {
  SolutionRecord record;
  for (int32_t i = 0; i < count && ReadRecord(message, at, record); ++i) {
    InsertRecord(record, nullptr, mode);
  }
}

// Process 0's side: the other processes as workers of its pool, served by a
// thread of their own, the only one that talks to them once the search runs.
class Coordinator : public SearchExtension {
 public:
  explicit Coordinator(int processes) : processes_(processes), cursor_(processes, 0) {}

  void Loaded(uint32_t seed, int32_t threads) override {
    // Every process begins with the store as process 0 loaded it, and
    // reduces with the same routine.
    std::vector<int32_t> message{kBegin, static_cast<int32_t>(seed), threads, ReducerIndex(), 0};
    int32_t count = 0;
    for (const SolutionRecord& slot : gStore.slots) {
      if (slot.termCount == 0) continue;
      AppendRecord(message, slot);
      ++count;
    }
    message[4] = count;
    for (int p = 1; p < processes_; ++p) Send(message, p, kStartTag);
    begun_ = true;
    // From here on, what enters the store goes to the others too.
    entering_.emplace([this](const SolutionRecord& record) {
      std::lock_guard lock(outboxMutex_);
      outbox_.push_back({origin_, {}});
      AppendRecord(outbox_.back().record, record);
    });
  }

  void Started(IterationScheduler& scheduler) override {
    scheduler_ = &scheduler;
    serving_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
  }

  void Ended(int) override {
    serving_.request_stop();
    serving_.join();
    entering_.reset();
  }

  // Tells the others to quit when the search never began, then ends MPI; a
  // process still inside an iteration makes it end the whole job instead.
  int Finish(int status) {
    if (!begun_) {
      const std::vector<int32_t> quit{kQuit};
      for (int p = 1; p < processes_; ++p) Send(quit, p, kStartTag);
    }
    if (!allStopped_ && begun_) {
      std::fflush(stdout);
      MPI_Abort(MPI_COMM_WORLD, status);
    }
    // A stop by a signal most likely came through mpirun, which is ending
    // the job already and would hold MPI_Finalize up; everything is saved.
    if (StopNow()) ExitProcess(status);
    MPI_Finalize();
    return status;
  }

 private:
  struct Outgoing {
    int origin;  // the process it came from (0: this one), which gets it not back
    std::vector<int32_t> record;
  };

  void Serve(std::stop_token stop) {
    std::vector<bool> busy(static_cast<size_t>(processes_), false);
    int running = 0;
    // The scheduler's stop rule holds here too: the run loop has waited its
    // grace for every iteration under way before it ends, so what is still
    // running elsewhere then is left behind.
    while (!stop.stop_requested()) {
      bool acted = false;
      for (int p = 1; p < processes_; ++p) {
        IterationArgs args;
        if (busy[p] || !scheduler_->Take(args)) continue;
        std::vector<int32_t> message{kIterate,       args.power,     args.maxBase,
                                     args.blockSize, args.workTerms, 0};
        message[5] = TakeOutgoing(p, message);
        Send(message, p, kWorkTag);
        busy[p] = true;
        ++running;
        acted = true;
      }
      int waiting = 0;
      MPI_Iprobe(MPI_ANY_SOURCE, kResultTag, MPI_COMM_WORLD, &waiting, MPI_STATUS_IGNORE);
      if (waiting != 0) {
        int from = 0;
        const std::vector<int32_t> result = Receive(MPI_ANY_SOURCE, kResultTag, &from);
        TakeResult(from, result);
        busy[from] = false;
        --running;
        acted = true;
      }
      // Results come over MPI, which has no wait that a stop could break.
      if (!acted) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::vector<int32_t> end{kStop};
    for (int p = 1; p < processes_; ++p) {
      if (!busy[p]) Send(end, p, kWorkTag);
    }
    allStopped_ = running == 0;
  }

  // What entered the store since process p last heard, but what came from p.
  int32_t TakeOutgoing(int p, std::vector<int32_t>& message) {
    std::lock_guard lock(outboxMutex_);
    int32_t count = 0;
    for (size_t i = cursor_[p] - dropped_; i < outbox_.size(); ++i) {
      if (outbox_[i].origin == p) continue;
      message.insert(message.end(), outbox_[i].record.begin(), outbox_[i].record.end());
      ++count;
    }
    cursor_[p] = dropped_ + outbox_.size();
    // What every other process has had is needed no more.
    size_t oldest = cursor_[1];
    for (int q = 2; q < processes_; ++q) oldest = std::min(oldest, cursor_[q]);
    while (dropped_ < oldest) {
      outbox_.pop_front();
      ++dropped_;
    }
    return count;
  }

  // A result: the iteration's outcome, the count of its solutions, the
  // lattices it reduced again with BKZ_XD, then the solutions that entered the
  // other process's store or lowered its table, which are inserted and logged
  // here as if found here.
  void TakeResult(int from, const std::vector<int32_t>& result) {
    const int32_t outcome = result.size() >= 3 ? result[0] : -1;
    if (result.size() >= 3) {
      if (result[2] > 0) AddReducedAgain(result[2]);
      std::lock_guard lock(StoreMutex());
      origin_ = from;
      InsertAll(result, 3, result[1], InsertLogged);
      origin_ = 0;
    }
    scheduler_->Finish(outcome);
  }

  const int processes_;
  IterationScheduler* scheduler_ = nullptr;
  std::jthread serving_;
  bool begun_ = false;
  bool allStopped_ = true;
  int origin_ = 0;  // written under the store's lock, like the observer's calls
  std::mutex outboxMutex_;
  std::deque<Outgoing> outbox_;
  size_t dropped_ = 0;          // entries of the outbox dropped from its front
  std::vector<size_t> cursor_;  // per process: outbox entries it has had
  // Last, so that it goes before the outbox it fills.
  std::optional<StoreEntryWatch> entering_;
};

}  // namespace

int RunFirstProcess(int argc, char** argv, int processes) {
  Coordinator coordinator(processes);
  const int status = ProgramEntry(argc, argv, &coordinator);
  return coordinator.Finish(status);
}

int RunOtherProcess(int rank) {
  const std::vector<int32_t> start = Receive(0, kStartTag);
  if (start.empty() || start[0] != kBegin || start.size() < 5) {
    MPI_Finalize();
    return 0;
  }
  SetReducerIndex(start[3]);
  // Only process 0 prints the run's lines and writes files: what this one
  // would log goes to process 0 with what enters its store.
  SetQuietConsole(true);
  InstallStopSignals();
  ResetEngine();
  InsertAll(start, 5, start[4], InsertQuiet);
  std::vector<int32_t> found;
  int32_t foundCount = 0;
  auto collect = [&](const SolutionRecord& record) {
    AppendRecord(found, record);
    ++foundCount;
  };
  const ResultLogDiversion diversion(collect);
  // Seeds apart from those of process 0's own workers (start[2] of them).
  SeedRandom(WorkerSeed(static_cast<uint32_t>(start[1]), start[2] + rank - 1));
  std::vector<int32_t> result;
  MPI_Request sending = MPI_REQUEST_NULL;
  for (;;) {
    const std::vector<int32_t> work = Receive(0, kWorkTag);
    if (work.size() < 6 || work[0] != kIterate) break;
    InsertAll(work, 6, work[5], InsertQuiet);
    found.assign(3, 0);
    foundCount = 0;
    const int64_t reducedAgain = ReducedAgain();
    int32_t outcome = 0;
    {
      const StoreEntryWatch entering(collect);
      outcome = RunIteration(work[1], work[2], work[3], work[4]);
    }
    found[0] = outcome;
    found[1] = foundCount;
    found[2] = static_cast<int32_t>(ReducedAgain() - reducedAgain);
    // The last result must be out of the way before its buffer is reused.
    MPI_Wait(&sending, MPI_STATUS_IGNORE);
    result.swap(found);
    MPI_Isend(result.data(), static_cast<int>(result.size()), MPI_INT32_T, 0, kResultTag,
              MPI_COMM_WORLD, &sending);
  }
  MPI_Wait(&sending, MPI_STATUS_IGNORE);
  MPI_Finalize();
  return 0;
}

}  // namespace quorvex
