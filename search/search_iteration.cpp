#include "search/search_iteration.hpp"

#include "search/lattice.hpp"

#include <NTL/LLL.h>
#include <NTL/mat_ZZ.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <limits>
#include <mutex>

#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "base/run_state.hpp"
#include "search/random.hpp"
#include "search/reducer.hpp"
#include "search/relation_shortening.hpp"
#include "store/solution_store.hpp"

namespace quorvex {

thread_local constinit SearchTables gSearch{};
thread_local constinit SearchTiming gSearchTiming{};

namespace {

using Clock = std::chrono::steady_clock;

bool FitsInt32(const NTL::ZZ& value) {
  return value >= std::numeric_limits<int32_t>::min() &&
         value <= std::numeric_limits<int32_t>::max();
}

// Copies the relation rows of the reduced lattice into RelationTable. A row
// with a coefficient beyond 32 bits, or a side of 2^31 powers or more, does
// not fit the table or a record's counts, so it is dropped and counted instead.
int32_t ExtractRelations(const NTL::mat_ZZ& lattice, int32_t n, int32_t& dropped) {
  int32_t relations = 0;
  dropped = 0;
  for (int32_t j = 0; j < n; ++j) {
    const NTL::vec_ZZ& row = lattice[j];
    if (NTL::sign(row[n]) != 0) continue;
    bool fits = true;
    SideCounts sides{0, 0};
    for (int32_t col = 0; col < n && fits; ++col) {
      if (!FitsInt32(row[col])) {
        fits = false;
        break;
      }
      const int64_t v = NTL::to_long(row[col]);
      if (v > 0) {
        sides.positive += v;
      } else {
        sides.negative -= v;
      }
    }
    if (!fits || !SidesFit(sides)) {
      ++dropped;
      continue;
    }
    int32_t* target = gSearch.RelationTable[relations];
    for (int32_t col = 0; col < n; ++col) {
      target[col] = static_cast<int32_t>(NTL::to_long(row[col]));
    }
    ++relations;
  }
  return relations;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int32_t IterationWorkTerms(int32_t workTerms, int32_t maxBase, int32_t blockSize) {
  if (workTerms != 0) return workTerms;
  return std::min(std::max(maxBase, blockSize), kMaxWorkTerms);
}

int32_t RandomBelow(int32_t a) {
  // 64-bit product: rand() * a overflows 32 bits for a above 65536.
  return static_cast<int32_t>(static_cast<int64_t>(Rand()) * a / 32768);
}

void Shuffle(int32_t* values, int32_t count) {
  for (int32_t a = count - 1; a >= 1; --a) {
    int32_t j = RandomBelow(a);
    int32_t held = values[a];
    values[a] = values[j];
    values[j] = held;
  }
}

void OrderBases(int32_t count) {
  if (count < 0 || count > kMaxWorkTerms) FatalError("Internal\n");
  for (int32_t i = 0; i < count; ++i) {
    PrintDetail("%d ", gSearch.BasePool[i]);
    if (gSearch.BasePool[i] == 0) FatalError("Zero term\n");
  }
  PrintDetail("\n");
  bool taken[kMaxWorkTerms] = {};
  for (int32_t r = 0; r < count; ++r) {
    int32_t best = -1;
    int32_t chosen = -1;
    for (int32_t a = 0; a < count; ++a) {
      if (!taken[a] && gSearch.BasePool[a] > best) {
        best = gSearch.BasePool[a];
        chosen = a;
      }
    }
    if (chosen < 0) FatalError("Negative ind\n");
    gSearch.BaseOrder[r] = chosen;
    taken[chosen] = true;
  }
}

void DrawBases(int32_t maxBase, int32_t n) {
  int32_t* pool = gSearch.BasePool;
  for (int32_t i = 0; i + 5 < maxBase; ++i) pool[5 + i] = 5 + i;
  Shuffle(pool + 5, maxBase - 5);
  pool[0] = maxBase;
  pool[1] = 1;
  pool[2] = 2;
  pool[3] = 3;
  pool[4] = 4;
  Shuffle(pool, n);
}

void BuildLattice(NTL::mat_ZZ& lattice, int32_t n, int32_t k) {
  lattice.SetDims(n, n + 1);
  const long weight = static_cast<long>(Rand()) * 65536 + 1;
  for (int32_t i = 0; i < n; ++i) {
    NTL::conv(lattice[i][i], 1L);
    NTL::ZZ last;
    NTL::power(last, static_cast<long>(gSearch.BasePool[i]), static_cast<long>(k));
    NTL::mul(lattice[i][n], last, weight);
  }
}

bool SearchIteration(int32_t k, int32_t maxBase, int32_t blockSize, int32_t workTerms) {
  // The exported entry checks these too; this guard protects direct callers
  // from indexing past the fixed tables.
  if (const std::string refusal = IterationRefusal(k, maxBase, blockSize, workTerms);
      !refusal.empty()) {
    Print("%s", refusal.c_str());
    return true;
  }
  const int32_t n = IterationWorkTerms(workTerms, maxBase, blockSize);
  {
    // The log suffix and power are the store's, shared with other workers.
    std::lock_guard lock(StoreMutex());
    gRun.CurrentPower = k;
    gRun.CurrentWeight = 0;
    gRun.PassCounter = 0;
  }
  if (maxBase < n) return true;

  Clock::time_point start = Clock::now();
  DrawBases(maxBase, n);
  OrderBases(n);
  FlushConsole();

  gSearch.workTerms = n;
  int32_t relations = 0;
  int32_t dropped = 0;
  // The lattice lives in this scope only, so it is released on every way out,
  // a fatal error thrown through here included.
  {
    NTL::mat_ZZ lattice;
    try {
      BuildLattice(lattice, n, k);
      Clock::time_point reduction = Clock::now();
      const ReductionEnd end = ReduceLattice(lattice, blockSize);
      gSearchTiming.reductionSeconds += SecondsSince(reduction);
      // A reduction cut short by a stop is not finished: its rows are not
      // the ones a whole iteration would harvest.
      if (end.stopped) return false;
      if (!end.failure.empty()) {
        PrintDetail("%s failed (%s): reduced again with BKZ_XD\n", ReducerName(),
                    end.failure.c_str());
      }
      relations = ExtractRelations(lattice, n, dropped);
    } catch (const std::exception& e) {
      FatalErrorF("NTL: %s\n", e.what());
    }
  }
  gSearch.relationCount = relations;

  int32_t rows = ShortenRelations(relations, n);
  if (rows < 0) return false;
  {
    std::lock_guard lock(StoreMutex());
    const Clock::time_point held = Clock::now();
    // A stop that came while this worker waited for the store leaves it alone.
    const bool harvested = !StopNow() && HarvestRelations(rows, n);
    gSearchTiming.storeSeconds += SecondsSince(held);
    if (!harvested) return false;
  }
  if (dropped > 0) {
    PrintDetail("Dropped %d relations beyond 32-bit counts\n", dropped);
  }
  gSearchTiming.totalSeconds += SecondsSince(start);
  ++gSearchTiming.iterations;
  return true;
}

}  // namespace quorvex
