// What each lattice reduction finds per CPU second: seeded searches from an
// empty store, one reducer after another on the same seed, as a run with
// --reducer would search (WORKTERMS 0, one worker, MaxBase fixed).
//   quorvex_yield [--seconds S (40)] [--seconds-k4 S (100)] [--seeds N (5)]
//                 [--blocksize B (20)] [--shapes 4,5,6,7,8] [--reducers A,B,...]
//   quorvex_yield --table runs.txt [more.txt ...]
// The first form prints one "run" line per search as it ends, then the table
// of those runs; the second prints the table of run lines kept in files. The
// reducers are the program's (BKZ_XD, BKZ_FP, FPLLL_BKZ2) and candidates it
// does not offer: NTL's G_BKZ_FP and fplll's own bkz_reduction with
// auto-abort ("fplll") and as BKZ 2.0 with its default strategies
// ("fplll-bkz2"), which FPLLL_BKZ2 runs block by block after NTL's LLL_FP.
#include <time.h>

#include <NTL/LLL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.hpp"
#include "quorvex.h"
#include "run/exported.hpp"
#include "search/fplll_bkz.hpp"
#include "search/lattice.hpp"
#include "search/random.hpp"
#include "search/reducer.hpp"
#include "store/solution_store.hpp"

namespace {

using namespace quorvex;

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void ReduceGivens(NTL::mat_ZZ& lattice, double delta, long blockSize, NTL::LLLCheckFct check) {
  NTL::G_BKZ_FP(lattice, delta, blockSize, 0, check, 0);
}
const ReductionRoutine kGivens{"G_BKZ_FP", ReduceGivens};

// fplll chooses its floating-point type itself (FT_DEFAULT) and takes its own
// LLL delta; it has no check function, so these candidates cannot be stopped.
void ReduceFplll(NTL::mat_ZZ& lattice, long blockSize, bool strategies) {
  static std::vector<fplll::Strategy> loaded =
      fplll::load_strategies_json(fplll::strategy_full_path(fplll::default_strategy()));
  std::vector<fplll::Strategy> none;
  fplll::ZZ_mat<mpz_t> matrix = ToFplll(lattice);
  int flags = fplll::BKZ_AUTO_ABORT | (strategies ? fplll::BKZ_GH_BND : 0);
  fplll::BKZParam param(static_cast<int>(blockSize), strategies ? loaded : none,
                        fplll::LLL_DEF_DELTA, flags);
  const int status = fplll::bkz_reduction(&matrix, nullptr, param, fplll::FT_DEFAULT, 0);
  if (status != fplll::RED_SUCCESS) throw std::runtime_error(fplll::get_red_status_str(status));
  FromFplll(matrix, lattice);
}

void ReduceFplllAutoAbort(NTL::mat_ZZ& lattice, double, long blockSize, NTL::LLLCheckFct) {
  ReduceFplll(lattice, blockSize, false);
}
void ReduceFplllBkz2(NTL::mat_ZZ& lattice, double, long blockSize, NTL::LLLCheckFct) {
  ReduceFplll(lattice, blockSize, true);
}
const ReductionRoutine kFplll{"fplll", ReduceFplllAutoAbort};
const ReductionRoutine kFplllBkz2{"fplll-bkz2", ReduceFplllBkz2};

// Chooses the reducer by name; false when this build has no such one.
bool UseReducer(const std::string& name) {
  if (FindReducer(name) >= 0) {
    UseReductionRoutine(nullptr);
    return SetReducerIndex(FindReducer(name));
  }
  const ReductionRoutine* candidates[] = {&kGivens, &kFplll, &kFplllBkz2};
  for (const ReductionRoutine* routine : candidates) {
    if (name == routine->name) {
      UseReductionRoutine(routine);
      return true;
    }
  }
  return false;
}

struct Shape {
  int32_t k;
  int32_t maxBase;
};
const Shape kShapes[] = {{4, 158}, {5, 144}, {6, 60}, {7, 149}, {8, 313}};

struct Run {
  int32_t k = 0;
  int32_t maxBase = 0;
  std::string reducer;
  uint32_t seed = 0;
  double cpu = 0;
  int64_t iterations = 0;
  int64_t reducedAgain = 0;
  int64_t small = 0;                // distinct stored solutions of m+n at most k+2 at the end
  std::map<int64_t, double> first;  // m+n -> CPU seconds when it first entered the store
};

double gStart = 0;
std::map<int64_t, double>* gFirst = nullptr;

Run Search(const Shape& shape, const std::string& reducer, uint32_t seed, int32_t blockSize,
           double seconds) {
  Run run;
  run.k = shape.k;
  run.maxBase = shape.maxBase;
  run.reducer = reducer;
  run.seed = seed;
  bench::ScratchFolder folder;
  bench::MutedConsole muted;
  Init(shape.k);
  quorvex::SeedRandom(seed);
  UseReducer(reducer);
  const int64_t reducedAgain = ReducedAgain();
  gFirst = &run.first;
  {
    const StoreEntryWatch entering([](const SolutionRecord& record) {
      const int64_t size = int64_t{record.leftCount} + record.rightCount;
      if (gFirst->count(size) == 0) (*gFirst)[size] = ThreadCpuSeconds() - gStart;
    });
    gStart = ThreadCpuSeconds();
    while (ThreadCpuSeconds() - gStart < seconds) {
      ComputeOneIteration(shape.k, shape.maxBase, blockSize, 0);
      ++run.iterations;
    }
    run.cpu = ThreadCpuSeconds() - gStart;
  }
  run.reducedAgain = ReducedAgain() - reducedAgain;
  for (const SolutionRecord& slot : gStore.slots) {
    if (slot.termCount != 0 && slot.leftCount + slot.rightCount <= shape.k + 2) ++run.small;
  }
  return run;
}

std::string RunLine(const Run& run) {
  std::ostringstream line;
  line << "run k=" << run.k << " maxbase=" << run.maxBase << " reducer=" << run.reducer
       << " seed=" << run.seed << " cpu=" << run.cpu << " iterations=" << run.iterations
       << " reduced_again=" << run.reducedAgain << " small=" << run.small << " first=";
  bool comma = false;
  for (const auto& [size, cpu] : run.first) {
    line << (comma ? "," : "") << size << ":" << cpu;
    comma = true;
  }
  return line.str();
}

bool ParseRun(const std::string& text, Run& run) {
  std::istringstream words(text);
  std::string word;
  if (!(words >> word) || word != "run") return false;
  while (words >> word) {
    const size_t eq = word.find('=');
    if (eq == std::string::npos) return false;
    const std::string key = word.substr(0, eq);
    const std::string value = word.substr(eq + 1);
    if (key == "k") run.k = std::stoi(value);
    if (key == "maxbase") run.maxBase = std::stoi(value);
    if (key == "reducer") run.reducer = value;
    if (key == "seed") run.seed = static_cast<uint32_t>(std::stoul(value));
    if (key == "cpu") run.cpu = std::stod(value);
    if (key == "iterations") run.iterations = std::stoll(value);
    if (key == "reduced_again") run.reducedAgain = std::stoll(value);
    if (key == "small") run.small = std::stoll(value);
    if (key == "first") {
      std::istringstream pairs(value);
      std::string pair;
      while (std::getline(pairs, pair, ',')) {
        const size_t colon = pair.find(':');
        if (colon != std::string::npos) {
          run.first[std::stoll(pair.substr(0, colon))] = std::stod(pair.substr(colon + 1));
        }
      }
    }
  }
  return run.k > 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// One row per shape and reducer, in the order they first come: iterations
// per CPU second over all seeds, the smallest m+n found (in how many seeds),
// the median CPU seconds until m+n = k .. k+3 first entered the store (in
// how many seeds it did), the mean of the distinct stored solutions of m+n at
// most k+2 per CPU minute, and the lattices reduced again with BKZ_XD.
void PrintTable(const std::vector<Run>& runs) {
  std::vector<std::pair<int32_t, std::string>> order;
  for (const Run& run : runs) {
    const std::pair<int32_t, std::string> key{run.k, run.reducer};
    if (std::find(order.begin(), order.end(), key) == order.end()) order.push_back(key);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::printf(
      "| k, MaxBase | reducer | seeds | CPU s each | iterations per CPU s | smallest m+n (seeds) "
      "| CPU s to m+n = k | k+1 | k+2 | k+3 | m+n <= k+2 per CPU min | reduced again |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (const auto& [k, reducer] : order) {
    std::vector<const Run*> mine;
    for (const Run& run : runs) {
      if (run.k == k && run.reducer == reducer) mine.push_back(&run);
    }
    double cpu = 0;
    double perMinute = 0;
    int64_t iterations = 0;
    int64_t again = 0;
    int64_t smallest = INT64_MAX;
    for (const Run* run : mine) {
      cpu += run->cpu;
      iterations += run->iterations;
      again += run->reducedAgain;
      perMinute += static_cast<double>(run->small) / (run->cpu / 60);
      if (!run->first.empty()) smallest = std::min(smallest, run->first.begin()->first);
    }
    int smallestSeeds = 0;
    for (const Run* run : mine) smallestSeeds += run->first.count(smallest) > 0 ? 1 : 0;
    std::printf("| %d, %d | %s | %zu | %.0f | %.3f | %lld (%d) |", k, mine[0]->maxBase,
                reducer.c_str(), mine.size(), cpu / static_cast<double>(mine.size()),
                static_cast<double>(iterations) / cpu, static_cast<long long>(smallest),
                smallestSeeds);
    for (int64_t size = k; size <= k + 3; ++size) {
      std::vector<double> times;
      for (const Run* run : mine) {
        if (auto at = run->first.find(size); at != run->first.end()) times.push_back(at->second);
      }
      if (times.empty()) {
        std::printf(" - |");
      } else {
        std::printf(" %.1f (%zu) |", Median(times), times.size());
      }
    }
    std::printf(" %.1f | %lld |\n", perMinute / static_cast<double>(mine.size()),
                static_cast<long long>(again));
  }
}

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> parts;
  std::istringstream in(list);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  return parts;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 40;
  double secondsK4 = 100;
  int seeds = 5;
  int32_t blockSize = 20;
  std::vector<std::string> shapes = {"4", "5", "6", "7", "8"};
  std::vector<std::string> reducers = {"BKZ_XD", "BKZ_FP",     "G_BKZ_FP",
                                       "fplll",  "fplll-bkz2", "FPLLL_BKZ2"};
  std::vector<Run> runs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    if (arg == "--table") {
      for (int f = i + 1; f < argc; ++f) {
        std::ifstream file(argv[f]);
        for (std::string line; std::getline(file, line);) {
          Run run;
          if (ParseRun(line, run)) runs.push_back(run);
        }
      }
      PrintTable(runs);
      return runs.empty() ? 1 : 0;
    }
    ++i;
    if (arg == "--seconds") seconds = std::atof(value);
    if (arg == "--seconds-k4") secondsK4 = std::atof(value);
    if (arg == "--seeds") seeds = std::atoi(value);
    if (arg == "--blocksize") blockSize = std::atoi(value);
    if (arg == "--shapes") shapes = Split(value);
    if (arg == "--reducers") reducers = Split(value);
  }
  for (const std::string& reducer : reducers) {
    if (!UseReducer(reducer)) {
      std::fprintf(stderr, "no reducer %s in this build\n", reducer.c_str());
      return 2;
    }
  }
  for (const Shape& shape : kShapes) {
    if (std::find(shapes.begin(), shapes.end(), std::to_string(shape.k)) == shapes.end()) continue;
    for (uint32_t seed = 1; seed <= static_cast<uint32_t>(seeds); ++seed) {
      // Reducers take turns on each seed, so that a change of the machine's
      // load falls on all of them alike.
      for (const std::string& reducer : reducers) {
        const double budget = shape.k == 4 && secondsK4 > 0 ? secondsK4 : seconds;
        runs.push_back(Search(shape, reducer, seed, blockSize, budget));
        std::printf("%s\n", RunLine(runs.back()).c_str());
        std::fflush(stdout);
      }
    }
  }
  PrintTable(runs);
  return 0;
}
