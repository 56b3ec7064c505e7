// End-to-end figures over the full store of bench/data/DATA5.BIN:
//   quorvex_end_to_end search [iterations] [seed]
//     seeded iterations at k = 5, MaxBase 100, WorkTerms 0, BlockSize 20, with
//     the time split into lattice reduction and everything else;
//   quorvex_end_to_end cross [seed]
//     one cross-reduction pass (WEIGHT 1, NEMBPASS 1) over the full store.
// Both print a digest of the console output and of every file written, so
// that two builds can be compared for identical results.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/bench_support.hpp"
#include "control/parameters.hpp"
#include "control/run_state.hpp"
#include "quorvex.h"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/search_iteration.hpp"
#include "store/checkpoint.hpp"

namespace {

using namespace quorvex;
using namespace quorvex::bench;
using Clock = std::chrono::steady_clock;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t hash = 1469598103934665603ULL;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  return hash;
}

// Console output goes to a file in the scratch folder while the engine works.
class ConsoleToFile {
 public:
  explicit ConsoleToFile(const char* path) {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    int file = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, STDOUT_FILENO);
    close(file);
  }
  ~ConsoleToFile() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

void PrintDigests() {
  SaveCheckpoint(5);
  for (const char* file : {"console.txt", "DATA5.TXT", "STATS.TXT", "DATA5.BIN"}) {
    std::string bytes = Slurp(file);
    std::printf("  %-12s %8zu bytes  digest %016" PRIx64 "\n", file, bytes.size(), Fnv1a(bytes));
  }
}

int Search(int iterations, uint32_t seed) {
  quorvex::SeedRandom(seed);
  gSearchTiming = SearchTiming{};
  Clock::time_point start = Clock::now();
  {
    ConsoleToFile console("console.txt");
    for (int i = 0; i < iterations; ++i) ComputeOneIteration(5, 100, 20, 0);
  }
  double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const SearchTiming& t = gSearchTiming;
  double other = t.totalSeconds - t.reductionSeconds;
  std::printf("search: k=5 MaxBase=100 WorkTerms=0 BlockSize=20, %d iterations, seed %u\n",
              iterations, seed);
  std::printf("  wall %.3f s; reduction %.3f s (%.1f ms/iter); other %.3f s (%.2f ms/iter)\n", wall,
              t.reductionSeconds, 1000 * t.reductionSeconds / iterations, other,
              1000 * other / iterations);
  std::printf("  other work is %.2f%% of the iteration time\n", 100 * other / t.totalSeconds);
  return 0;
}

int Cross(uint32_t seed) {
  gParams.WEIGHT = 1;
  gParams.NEMBPASS = 1;
  quorvex::SeedRandom(seed);
  Clock::time_point start = Clock::now();
  {
    ConsoleToFile console("console.txt");
    CrossReductionPass(gParams.WEIGHT, gParams.NEMBPASS);
  }
  double wall = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("cross-reduction: one pass at weight 1 over %d records (seed %u): %.3f s\n",
              gStore.count, seed, wall);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "search";
  ScratchFolder folder;
  if (!LoadFullStore()) {
    std::fprintf(stderr, "cannot load %s\n", FullStoreFile().c_str());
    return 1;
  }
  int status;
  if (std::strcmp(mode, "search") == 0) {
    int iterations = argc > 2 ? std::atoi(argv[2]) : 20;
    uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1;
    status = Search(iterations > 0 ? iterations : 20, seed);
  } else if (std::strcmp(mode, "cross") == 0) {
    uint32_t seed = argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1;
    status = Cross(seed);
  } else {
    std::fprintf(stderr, "usage: %s search [iterations] [seed] | cross [seed]\n", argv[0]);
    return 2;
  }
  PrintDigests();
  return status;
}
