// Store work against a full store of 10000 realistic k = 5 solutions: the
// insertion (duplicate check and eviction), the shortening of a candidate
// against every stored record, and one cross-reduction pass at weight 1.
#include <benchmark/benchmark.h>

#include <vector>

#include "base/run_state.hpp"
#include "bench/bench_support.hpp"
#include "run/parameters.hpp"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/shorten_against_store.hpp"
#include "store/solution_store.hpp"

namespace {

using namespace quorvex;
using namespace quorvex::bench;

std::vector<const SolutionRecord*> StoredRecords() {
  std::vector<const SolutionRecord*> records;
  for (const SolutionRecord& slot : gStore.slots) {
    if (slot.termCount != 0) records.push_back(&slot);
  }
  return records;
}

// True identities the size of freshly harvested candidates: the sum or
// difference of two stored solutions, oriented, in descending base order.
std::vector<SolutionRecord> CombinedCandidates(int count) {
  std::vector<const SolutionRecord*> stored = StoredRecords();
  std::vector<SolutionRecord> candidates;
  SeedRandom(99);
  MutedConsole muted;  // an evaluation may echo a log line
  while (static_cast<int>(candidates.size()) < count) {
    const SolutionRecord& a = *stored[static_cast<size_t>(Rand()) * 32768 % stored.size()];
    const SolutionRecord& b =
        *stored[(static_cast<size_t>(Rand()) * 32768 + Rand()) % stored.size()];
    SolutionRecord combined;
    int32_t terms = CombineTerms(a, b, Rand() % 2 ? 1 : -1, combined);
    if (terms == 0 || terms >= kMaxTerms) continue;
    OrientRecord(combined);
    candidates.push_back(combined);
  }
  return candidates;
}

void ReportUnavailable(benchmark::State& state) {
  state.SkipWithError(("cannot load " + FullStoreFile()).c_str());
}

// Arg 0: new solutions (duplicate scan over the whole store, then the
// eviction walk); arg 1: copies of stored solutions (found by the scan).
void BM_InsertRecord(benchmark::State& state) {
  ScratchFolder folder;
  if (!LoadFullStore()) return ReportUnavailable(state);
  std::vector<SolutionRecord> records;
  if (state.range(0) == 0) {
    records = CombinedCandidates(512);
  } else {
    for (const SolutionRecord* r : StoredRecords()) records.push_back(*r);
    records.resize(512);
  }
  MutedConsole muted;
  size_t next = 0;
  for (auto _ : state) {
    SolutionRecord record = records[next++ % records.size()];
    InsertRecord(record, nullptr, InsertLogged);
    benchmark::ClobberMemory();
  }
  state.counters["stored"] = gStore.count;
}
BENCHMARK(BM_InsertRecord)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// One harvested candidate shortened against the full store and inserted.
void BM_ShortenAgainstStore(benchmark::State& state) {
  ScratchFolder folder;
  if (!LoadFullStore()) return ReportUnavailable(state);
  std::vector<SolutionRecord> candidates = CombinedCandidates(256);
  MutedConsole muted;
  size_t next = 0;
  for (auto _ : state) {
    SolutionRecord candidate = candidates[next++ % candidates.size()];
    ShortenAgainstStore(candidate);
    benchmark::ClobberMemory();
  }
  state.counters["stored"] = gStore.count;
}
BENCHMARK(BM_ShortenAgainstStore)->Unit(benchmark::kMicrosecond);

// NEMBPASS 1, WEIGHT 1: exactly one pass over the full store.
void BM_CrossReductionPass(benchmark::State& state) {
  ScratchFolder folder;
  for (auto _ : state) {
    state.PauseTiming();
    bool loaded = LoadFullStore();
    gRun.StopRequested = 0;
    SeedRandom(1);
    state.ResumeTiming();
    if (!loaded) return ReportUnavailable(state);
    MutedConsole muted;
    CrossReductionPass(1, 1);
  }
  state.counters["stored_after"] = gStore.count;
}
BENCHMARK(BM_CrossReductionPass)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
