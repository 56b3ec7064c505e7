// End-to-end figures over a full store, by default bench/data/DATA5.BIN:
//   quorvex_end_to_end search [iterations] [seed] [--store PATH] [--maxbase N]
//     seeded iterations at the store's k, MaxBase 100, WorkTerms 0, BlockSize
//     20, with the time split into lattice reduction and everything else;
//   quorvex_end_to_end cross [seed] [--store PATH] [--cap CPU_SECONDS]
//     one cross-reduction pass (WEIGHT 1, NEMBPASS 1) over the whole store,
//     stopped like an Escape after CPU_SECONDS when a cap is given.
// PATH is a DATA<k>.BIN (its name gives k; --power K overrides). Both print
// the CPU seconds and peak memory of the process, and a digest of the console
// output and of every file written, so that two builds can be compared for
// identical results.
#include <dlfcn.h>
#include <sys/time.h>

#include <NTL/LLL.h>

#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "base/run_state.hpp"
#include "bench/bench_support.hpp"
#include "quorvex.h"
#include "run/parameters.hpp"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/search_iteration.hpp"
#include "store/checkpoint.hpp"
#include "store/result_log.hpp"

namespace {

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// CPU time spent inside the lattice reduction, measured by the wrapper below.
struct ReductionCpu {
  double seconds = 0;
  int64_t calls = 0;
};
ReductionCpu gReductionCpu;

}  // namespace

// The engine times the reduction by the wall clock only, which on a shared
// machine also counts the neighbours' turns. Defining NTL's BKZ_XD here puts
// this wrapper in front of the shared library's for every caller in this
// program, the engine included, so the reduction's CPU time can be taken
// around the real call.
long NTL::BKZ_XD(NTL::mat_ZZ& basis, double delta, long blockSize, long prune,
                 NTL::LLLCheckFct check, long verbose) {
  using Real = long (*)(NTL::mat_ZZ&, double, long, long, NTL::LLLCheckFct, long);
  static Real real = reinterpret_cast<Real>(
      dlsym(RTLD_NEXT, "_ZN3NTL6BKZ_XDERNS_3MatINS_2ZZEEEdllPFlRKNS_3VecIS1_EEEl"));
  if (real == nullptr) {
    std::fprintf(stderr, "cannot find NTL's BKZ_XD\n");
    std::abort();
  }
  const double start = ThreadCpuSeconds();
  long result = real(basis, delta, blockSize, prune, check, verbose);
  gReductionCpu.seconds += ThreadCpuSeconds() - start;
  ++gReductionCpu.calls;
  return result;
}

namespace {

using namespace quorvex;
using namespace quorvex::bench;
using Clock = std::chrono::steady_clock;

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

struct Options {
  std::string mode = "search";
  std::vector<std::string> positional;
  std::string store = FullStoreFile();
  int32_t power = 0;
  int32_t maxBase = 100;
  double capSeconds = 0;
};

void PrintDigests(int32_t power) {
  SaveCheckpoint(power);
  const std::string files[] = {"console.txt", ResultLogName(power), kStatsFile,
                               CheckpointName(power)};
  for (const std::string& file : files) {
    std::string bytes = Slurp(file);
    std::printf("  %-12s %8zu bytes  digest %016" PRIx64 "\n", file.c_str(), bytes.size(),
                Fnv1a(bytes));
  }
}

void PrintResources() {
  std::printf("  process: %.2f CPU s in all, peak memory (ru_maxrss) %ld KiB\n", CpuSeconds(),
              PeakResidentKiB());
}

int Search(int iterations, uint32_t seed, int32_t power, int32_t maxBase) {
  quorvex::SeedRandom(seed);
  gSearchTiming = SearchTiming{};
  gReductionCpu = ReductionCpu{};
  Clock::time_point start = Clock::now();
  const double cpuStart = CpuSeconds();
  {
    ConsoleToFile console("console.txt");
    for (int i = 0; i < iterations; ++i) ComputeOneIteration(power, maxBase, 20, 0);
  }
  const double cpu = CpuSeconds() - cpuStart;
  double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const SearchTiming& t = gSearchTiming;
  double other = t.totalSeconds - t.reductionSeconds;
  std::printf(
      "search: k=%d MaxBase=%d WorkTerms=0 BlockSize=20, %d iterations, seed %u, %d stored\n",
      power, maxBase, iterations, seed, gStore.count);
  std::printf("  wall %.3f s; reduction %.3f s (%.1f ms/iter); other %.3f s (%.2f ms/iter)\n", wall,
              t.reductionSeconds, 1000 * t.reductionSeconds / iterations, other,
              1000 * other / iterations);
  std::printf("  other work is %.2f%% of the iteration time (wall clock, gSearchTiming)\n",
              100 * other / t.totalSeconds);
  const double cpuOther = cpu - gReductionCpu.seconds;
  std::printf("  CPU %.3f s; reduction %.3f s (%.1f ms/iter, %" PRId64
              " reductions); other %.3f s (%.2f ms/iter)\n",
              cpu, gReductionCpu.seconds, 1000 * gReductionCpu.seconds / iterations,
              gReductionCpu.calls, cpuOther, 1000 * cpuOther / iterations);
  std::printf("  other work is %.2f%% of the iteration CPU time\n", 100 * cpuOther / cpu);
  // What workers cannot do at once: with it a share s of an iteration, N
  // workers go at most min(N, 1/s) times as fast as one.
  std::printf("  holding the store %.3f s (%.2f ms/iter), %.2f%% of the iteration time\n",
              t.storeSeconds, 1000 * t.storeSeconds / iterations,
              100 * t.storeSeconds / t.totalSeconds);
  return 0;
}

// The visited count of the last progress line "1(1): visited/count" (weight
// 1, first pass) in the console file; the pass prints one every ten records.
int32_t LastVisitedCount() {
  const std::string text = Slurp("console.txt");
  int32_t visited = 0;
  for (size_t at = text.find("1(1): "); at != std::string::npos; at = text.find("1(1): ", at + 1)) {
    if (at > 0 && text[at - 1] != '\r' && text[at - 1] != '\n') continue;
    visited = std::atoi(text.c_str() + at + 6);
  }
  return visited;
}

extern "C" void RequestStop(int) {
  gRun.StopRequested = 1;
}

// A CPU-time alarm that stops the pass the way Escape does, at the next record.
void ArmCap(double seconds) {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  action.sa_flags = SA_RESTART;
  sigaction(SIGPROF, &action, nullptr);
  itimerval timer{};
  timer.it_value.tv_sec = static_cast<time_t>(seconds);
  timer.it_value.tv_usec =
      static_cast<suseconds_t>(1e6 * (seconds - static_cast<double>(timer.it_value.tv_sec)));
  setitimer(ITIMER_PROF, &timer, nullptr);
}

int Cross(uint32_t seed, double capSeconds) {
  gParams.WEIGHT = 1;
  gParams.NEMBPASS = 1;
  gRun.StopRequested = 0;
  quorvex::SeedRandom(seed);
  const int32_t before = gStore.count;
  Clock::time_point start = Clock::now();
  const double cpuStart = CpuSeconds();
  if (capSeconds > 0) ArmCap(capSeconds);
  {
    ConsoleToFile console("console.txt");
    CrossReductionPass(gParams.WEIGHT, gParams.NEMBPASS);
  }
  const double cpu = CpuSeconds() - cpuStart;
  double wall = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf(
      "cross-reduction: one pass at weight 1 over %d records (seed %u): %.3f CPU s, "
      "%.3f s wall, %d records left\n",
      before, seed, cpu, wall, gStore.count);
  if (gRun.StopRequested) {
    const int32_t visited = LastVisitedCount();
    std::printf("  stopped at the cap of %.0f CPU s after at least %d of %d records (%.1f%%)\n",
                capSeconds, visited, before, 100.0 * visited / before);
  }
  return 0;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  if (argc > 1) options.mode = argv[1];
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--store" && hasValue) {
      options.store = argv[++i];
    } else if (arg == "--power" && hasValue) {
      options.power = std::atoi(argv[++i]);
    } else if (arg == "--maxbase" && hasValue) {
      options.maxBase = std::atoi(argv[++i]);
    } else if (arg == "--cap" && hasValue) {
      options.capSeconds = std::atof(argv[++i]);
    } else if (arg.rfind("--", 0) == 0) {
      return false;
    } else {
      options.positional.push_back(arg);
    }
  }
  if (options.power == 0) options.power = PowerFromName(options.store);
  return options.power > 0 && (options.mode == "search" || options.mode == "cross");
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s search [iterations] [seed] [--store PATH] [--maxbase N] [--power K]\n"
                 "       %s cross [seed] [--store PATH] [--cap CPU_SECONDS] [--power K]\n"
                 "PATH names a DATA<k>.BIN (default %s)\n",
                 argv[0], argv[0], FullStoreFile().c_str());
    return 2;
  }
  const std::string store = std::filesystem::absolute(options.store).string();
  ScratchFolder folder;
  const double loadStart = CpuSeconds();
  if (!LoadStoreFile(store, options.power)) {
    std::fprintf(stderr, "cannot load %s\n", store.c_str());
    return 1;
  }
  std::printf("store %s: k=%d, %d records loaded in %.2f CPU s\n", options.store.c_str(),
              options.power, gStore.count, CpuSeconds() - loadStart);
  const std::vector<std::string>& args = options.positional;
  auto seedAt = [&](size_t i) {
    return args.size() > i ? static_cast<uint32_t>(std::strtoul(args[i].c_str(), nullptr, 10)) : 1;
  };
  int status;
  if (options.mode == "search") {
    int iterations = args.size() > 0 ? std::atoi(args[0].c_str()) : 20;
    status = Search(iterations > 0 ? iterations : 20, seedAt(1), options.power, options.maxBase);
  } else {
    status = Cross(seedAt(0), options.capSeconds);
  }
  PrintResources();
  PrintDigests(options.power);
  return status;
}
