// Shared set-up of the benchmarks: a scratch folder with the console muted,
// the full store of realistic k = 5 solutions kept in bench/data (or any other
// DATA<k>.BIN), digests of files, and the process's CPU time and peak memory.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "store/best_right_table.hpp"
#include "store/checkpoint.hpp"
#include "store/solution_store.hpp"

namespace quorvex::bench {

#ifndef QUORVEX_BENCH_DATA
#define QUORVEX_BENCH_DATA "bench/data"
#endif

// 10000 k = 5 solutions of a seeded search (MaxBase 90 to 130, BlockSize 20).
inline std::string FullStoreFile() {
  return std::string(QUORVEX_BENCH_DATA) + "/DATA5.BIN";
}

// Sends stdout to /dev/null until Restore; the engine prints as it works.
class MutedConsole {
 public:
  MutedConsole() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~MutedConsole() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  MutedConsole(const MutedConsole&) = delete;
  MutedConsole& operator=(const MutedConsole&) = delete;

 private:
  int saved_;
};

// A fresh temporary working folder for the engine's files, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder() : previous_(std::filesystem::current_path().string()) {
    char pattern[] = "/tmp/quorvex-bench-XXXXXX";
    folder_ = mkdtemp(pattern);
    std::filesystem::current_path(folder_);
  }
  ~ScratchFolder() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return folder_; }

 private:
  std::string previous_;
  std::string folder_;
};

// Empties the store and the table, then loads the DATA<k>.BIN at `path` into
// the engine state as a start-up would (the copy in the current folder is
// removed again). False when the file is missing or holds nothing.
inline bool LoadStoreFile(const std::string& path, int32_t power) {
  const std::string name = CheckpointName(power);
  std::error_code error;
  std::filesystem::copy_file(path, name, std::filesystem::copy_options::overwrite_existing, error);
  if (error) return false;
  ResetStore();
  ResetBestRight();
  {
    MutedConsole muted;
    LoadCheckpoint(power);
  }
  std::filesystem::remove(name);
  return gStore.count > 0;
}

// The power k in a file name DATA<k>.BIN, or 0 for any other name.
inline int32_t PowerFromName(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  int32_t power = 0;
  char tail[8] = {};
  if (std::sscanf(name.c_str(), "DATA%d.%4s", &power, tail) != 2) return 0;
  return std::strcmp(tail, "BIN") == 0 ? power : 0;
}

inline bool LoadFullStore() {
  return LoadStoreFile(FullStoreFile(), 5);
}

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// FNV-1a, 64 bits: enough to tell two runs' outputs apart.
inline uint64_t Fnv1a(const std::string& bytes) {
  uint64_t hash = 1469598103934665603ULL;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  return hash;
}

// User plus system CPU seconds of the process so far: the machine is shared,
// so wall time says more about the neighbours than about the code.
inline double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Peak resident set size of the process so far, in KiB.
inline long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace quorvex::bench
