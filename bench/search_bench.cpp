// Search benchmarks: a seeded run of whole iterations from an empty store,
// with the time split into lattice reduction and everything else, and the
// Term-list merge that the store work is built on.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "base/run_state.hpp"
#include "search/random.hpp"
#include "search/relation_shortening.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"

namespace {

using namespace quorvex;

// Runs the body in a fresh temporary folder with the console output discarded.
template <typename Fn>
void QuietlyInTempFolder(Fn&& body) {
  std::string previous = std::filesystem::current_path().string();
  char pattern[] = "/tmp/quorvex-bench-XXXXXX";
  std::string folder = mkdtemp(pattern);
  std::filesystem::current_path(folder);
  std::fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  close(null);
  body();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::filesystem::current_path(previous);
  std::filesystem::remove_all(folder);
}

// k = 4, MaxBase 80, WorkTerms 0 (the larger of MaxBase and the block size:
// 80), BlockSize 20, 20 iterations from an empty store, seeded.
void BM_SeededSearch(benchmark::State& state) {
  constexpr int kIterations = 20;
  double reduction = 0;
  double total = 0;
  int64_t runs = 0;
  for (auto _ : state) {
    QuietlyInTempFolder([&] {
      ResetStore();
      ResetBestRight();
      SeedRandom(2024);
      gSearchTiming = SearchTiming{};
      for (int i = 0; i < kIterations; ++i) SearchIteration(4, 80, 20, 80);
      reduction += gSearchTiming.reductionSeconds;
      total += gSearchTiming.totalSeconds;
    });
    ++runs;
  }
  const double perIteration = 1000.0 / static_cast<double>(runs * kIterations);
  state.counters["reduction_ms_per_iter"] = reduction * perIteration;
  state.counters["other_ms_per_iter"] = (total - reduction) * perIteration;
  state.counters["stored"] = gStore.count;
}
BENCHMARK(BM_SeededSearch)->Unit(benchmark::kMillisecond)->Iterations(3);

// Two descending lists of `length` Terms over a shared range of bases, about
// half of them in common, as stored solutions of one search tend to be.
void BM_CombineTerms(benchmark::State& state) {
  const int length = static_cast<int>(state.range(0));
  std::mt19937 generator(7);
  SolutionRecord lists[2] = {};
  for (SolutionRecord& list : lists) {
    int base = 4 * length;
    for (int i = 0; i < length; ++i) {
      base -= 1 + static_cast<int>(generator() % 3);
      list.terms[i] = Term{base, generator() % 2 ? 1 : -1};
    }
    list.termCount = length;
  }
  SolutionRecord out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(CombineTerms(lists[0], lists[1], -1, out));
    benchmark::DoNotOptimize(CombineTerms(lists[0], lists[1], +1, out));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_CombineTerms)->Arg(20)->Arg(50)->Arg(100)->Arg(199);

}  // namespace
