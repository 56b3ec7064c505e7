#include "run/reducer_file.hpp"

#include <cstdio>
#include <mutex>

#include "base/atomic_file.hpp"
#include "base/file_reading.hpp"
#include "search/reducer.hpp"

namespace quorvex {

namespace {

// Rewrites the file with the count as it is now: observers on several
// workers may come in any order, and the last write must hold the last count.
void WriteReducerFile(int64_t) {
  static std::mutex writing;
  std::lock_guard lock(writing);
  const std::string text = "REDUCER=" + std::string(ReducerName()) +
                           "\nREDUCEDAGAIN=" + std::to_string(ReducedAgain()) + "\n";
  // Only a report reads it: a full disk leaves the last one that was written.
  ReplaceFileAtomically(kReducerFile, text.data(), text.size());
}

}  // namespace

void KeepReducerFile() {
  if (DefaultReducerInUse()) {
    std::remove(kReducerFile);
    return;
  }
  WriteReducerFile(0);
  ObserveReducedAgain(WriteReducerFile);
}

ReducerFileReading ReadReducerFile() {
  ReducerFileReading reading;
  FilePtr file(std::fopen(kReducerFile, "rb"));
  if (!file) {
    reading.missing = true;
    return reading;
  }
  char name[32] = {};
  long long count = -1;
  char end = 0;
  const int fields =
      std::fscanf(file.get(), "REDUCER=%31[A-Z0-9_]\nREDUCEDAGAIN=%lld%c", name, &count, &end);
  reading.reducer = name;
  reading.reducedAgain = count;
  reading.damaged = fields != 3 || end != '\n' || count < 0 || std::fgetc(file.get()) != EOF ||
                    FindReducer(reading.reducer) < 0;
  return reading;
}

}  // namespace quorvex
