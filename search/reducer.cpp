#include "search/reducer.hpp"

#include <NTL/LLL.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <streambuf>

#include "base/fatal_error.hpp"
#include "base/run_state.hpp"
#include "search/fplll_bkz.hpp"
#include "search/lattice.hpp"

namespace quorvex {

namespace {

constexpr double kReductionDelta = 0.9999;

void ReduceXd(NTL::mat_ZZ& lattice, double delta, long blockSize, NTL::LLLCheckFct check) {
  NTL::BKZ_XD(lattice, delta, blockSize, 0, check, 0);
}

void ReduceFp(NTL::mat_ZZ& lattice, double delta, long blockSize, NTL::LLLCheckFct check) {
  NTL::BKZ_FP(lattice, delta, blockSize, 0, check, 0);
}

// NTL's volume heuristic (Schnorr and Hoerner) cuts the enumeration short;
// lower values cut harder. 3 gave the most small solutions per CPU second at
// block size 20 for k = 4 (bench/README.md, "Lattice reducers").
constexpr long kPrune = 3;

void ReduceFpPruned(NTL::mat_ZZ& lattice, double delta, long blockSize, NTL::LLLCheckFct check) {
  NTL::BKZ_FP(lattice, delta, blockSize, kPrune, check, 0);
}

// The routines a run may choose; the first is the default and the fallback.
constexpr ReductionRoutine kRoutines[] = {{"BKZ_XD", ReduceXd},
                                          {"BKZ_FP", ReduceFp},
                                          {"BKZ_FP_PRUNED", ReduceFpPruned},
                                          {"FPLLL_BKZ2", ReduceFplllBkz2}};
constexpr int32_t kRoutineCount = static_cast<int32_t>(std::size(kRoutines));

std::atomic<const ReductionRoutine*> gRoutine{&kRoutines[0]};
std::atomic<int64_t> gReducedAgain{0};
std::atomic<void (*)(int64_t)> gReducedAgainObserver{nullptr};

// The state of a fast routine's reduction on this thread: the check counts
// its steps against the limit, and what NTL writes to std::cerr meanwhile is
// kept here instead.
struct FastReduction {
  int64_t steps = 0;
  int64_t stepLimit = 0;
  bool overLimit = false;
  std::string complaint;
};
thread_local FastReduction* tFast = nullptr;

// NTL takes this path for errors it does not throw: numbers beyond what a
// double holds, in the floating-point routines. Inside a fast routine that is
// a failure like any other, so it is thrown to the fallback; anywhere else NTL
// would abort next, so the error log gets the message first and the process
// ends like any other fatal error.
void NtlErrorMessage(const char* message) {
  if (tFast != nullptr) throw std::runtime_error(message);
  FatalErrorF("NTL: %s\n", message);
}

// Called by the reduction after each size reduction: a large lattice can take
// minutes, and a stop must not wait for it.
long StopReduction(const NTL::vec_ZZ&) {
  return StopNow() ? 1 : 0;
}

long CountStep(const NTL::vec_ZZ&) {
  if (StopNow()) return 1;
  if (++tFast->steps <= tFast->stepLimit) return 0;
  tFast->overLimit = true;
  return 1;
}

// NTL's floating-point routines tell of lost precision ("relaxing
// reduction", "infinite loop?") only on std::cerr, and go on. This buffer
// takes the place of std::cerr's: what a thread inside a fast routine writes
// is kept for it, everything else goes on to the standard error as before.
class ComplaintBuffer : public std::streambuf {
 public:
  explicit ComplaintBuffer(std::streambuf* next) : next_(next) {}

 protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const char ch = static_cast<char>(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    if (tFast != nullptr) {
      tFast->complaint.append(text, static_cast<size_t>(count));
      return count;
    }
    std::lock_guard lock(mutex_);
    return next_->sputn(text, count);
  }
  int sync() override {
    std::lock_guard lock(mutex_);
    return next_->pubsync();
  }

 private:
  std::streambuf* next_;
  std::mutex mutex_;
};

// Set once: workers reduce at the same time, and these are globals.
void TakeOverNtlErrors() {
  static std::once_flag once;
  std::call_once(once, [] {
    NTL::ErrorMsgCallback = NtlErrorMessage;
    // NTL may outlive a library a host unloads.
    static const struct Release {
      ~Release() {
        if (NTL::ErrorMsgCallback == NtlErrorMessage) NTL::ErrorMsgCallback = nullptr;
      }
    } release;
  });
}

// Puts std::cerr's own buffer back when the engine's statics go, at exit or
// when a host unloads the library: std::cerr is flushed once more after that,
// and must not reach a buffer whose code is gone. No worker is inside a
// reduction then: a run that leaves one behind ends without static destructors.
struct ComplaintTakeover {
  ComplaintBuffer* buffer;
  std::streambuf* original;
  ~ComplaintTakeover() {
    std::cerr.flush();
    if (std::cerr.rdbuf() == buffer) std::cerr.rdbuf(original);
    delete buffer;
  }
};

// Only once a fast routine runs: a run with BKZ_XD alone keeps std::cerr as
// it always was.
void TakeOverComplaints() {
  static std::once_flag once;
  std::call_once(once, [] {
    static ComplaintTakeover takeover{new ComplaintBuffer(std::cerr.rdbuf()), std::cerr.rdbuf()};
    std::cerr.rdbuf(takeover.buffer);
  });
}

// How many steps (checks) a lattice may take: the search's lattices take a
// few times rows times the bits of their largest entry, at block size 20;
// far beyond that, the routine has lost its way.
int64_t StepLimit(const NTL::mat_ZZ& lattice, long blockSize) {
  const long rows = lattice.NumRows();
  long bits = 0;
  for (long i = 0; i < rows; ++i) {
    for (long j = 0; j < lattice.NumCols(); ++j) bits = std::max(bits, NTL::NumBits(lattice[i][j]));
  }
  return 100000 + int64_t{64} * rows * (bits + blockSize);
}

}  // namespace

const std::string& ReducerNames() {
  static const std::string names = [] {
    std::string all;
    for (const ReductionRoutine& routine : kRoutines) {
      all += (all.empty() ? "" : ", ") + std::string(routine.name);
    }
    return all;
  }();
  return names;
}

int32_t FindReducer(const std::string& name) {
  for (int32_t i = 0; i < kRoutineCount; ++i) {
    const std::string known = kRoutines[i].name;
    bool same = known.size() == name.size();
    for (size_t c = 0; same && c < name.size(); ++c) {
      same = std::toupper(static_cast<unsigned char>(name[c])) == known[c];
    }
    if (same) return i;
  }
  return -1;
}

const char* ReducerName() {
  return gRoutine.load()->name;
}

int32_t ReducerIndex() {
  const ReductionRoutine* routine = gRoutine.load();
  for (int32_t i = 0; i < kRoutineCount; ++i) {
    if (routine == &kRoutines[i]) return i;
  }
  return -1;
}

bool SetReducerIndex(int32_t index) {
  if (index < 0 || index >= kRoutineCount) return false;
  gRoutine = &kRoutines[index];
  return true;
}

void UseReductionRoutine(const ReductionRoutine* routine) {
  gRoutine = routine == nullptr ? &kRoutines[0] : routine;
}

int64_t ReducedAgain() {
  return gReducedAgain.load();
}

void AddReducedAgain(int64_t lattices) {
  const int64_t total = gReducedAgain += lattices;
  if (void (*observer)(int64_t) = gReducedAgainObserver.load()) observer(total);
}

void ObserveReducedAgain(void (*observer)(int64_t total)) {
  gReducedAgainObserver = observer;
}

ReductionEnd ReduceLattice(NTL::mat_ZZ& lattice, int32_t blockSize) {
  TakeOverNtlErrors();
  const ReductionRoutine* routine = gRoutine.load();
  ReductionEnd end;
  if (routine != &kRoutines[0]) {
    // A failed routine may leave anything behind; BKZ_XD starts again from
    // the lattice as it was built.
    const NTL::mat_ZZ built = lattice;
    TakeOverComplaints();
    FastReduction fast;
    fast.stepLimit = StepLimit(lattice, blockSize);
    tFast = &fast;
    try {
      routine->reduce(lattice, kReductionDelta, blockSize, CountStep);
    } catch (const std::exception& e) {
      end.failure = e.what();
    }
    tFast = nullptr;
    if (StopNow()) {
      end.stopped = true;
      return end;
    }
    if (fast.overLimit) {
      end.failure = "more than " + std::to_string(fast.stepLimit) + " steps";
    } else if (end.failure.empty() && !fast.complaint.empty()) {
      end.failure = fast.complaint.substr(0, fast.complaint.find('\n'));
    }
    if (end.failure.empty()) return end;
    while (!end.failure.empty() && end.failure.back() == '\n') end.failure.pop_back();
    lattice = built;
    AddReducedAgain(1);
  }
  kRoutines[0].reduce(lattice, kReductionDelta, blockSize, StopReduction);
  end.stopped = StopNow();
  return end;
}

}  // namespace quorvex
