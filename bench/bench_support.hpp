// Shared set-up of the benchmarks: a scratch folder with the console muted,
// and the full store of realistic k = 5 solutions kept in bench/data.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
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

// Empties the store and the table, then loads the full k = 5 store into the
// current folder's engine state. False when the data file is missing.
inline bool LoadFullStore() {
  std::error_code error;
  std::filesystem::copy_file(FullStoreFile(), "DATA5.BIN",
                             std::filesystem::copy_options::overwrite_existing, error);
  if (error) return false;
  ResetStore();
  ResetBestRight();
  {
    MutedConsole muted;
    LoadCheckpoint(5);
  }
  std::filesystem::remove("DATA5.BIN");
  return gStore.count > 0;
}

}  // namespace quorvex::bench
