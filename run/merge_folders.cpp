#include "run/merge_folders.hpp"

#include <sys/stat.h>

#include <cstdio>

#include "base/console.hpp"
#include "store/checkpoint.hpp"
#include "store/result_log.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"
#include "store/verify.hpp"

namespace quorvex {

namespace {

struct Tally {
  int64_t read = 0;
  int64_t entered = 0;
  int64_t wrong = 0;
};

// Checks one solution of another folder and offers it to the store.
void Take(SolutionRecord& record, int32_t power, const std::string& file, Tally& tally) {
  ++tally.read;
  if (!IdentityHolds(record.terms, record.termCount, power)) {
    ++tally.wrong;
    Print("False identity in %s: %s\n", file.c_str(), FormatSolution(record, power).c_str());
    return;
  }
  InsertRecord(record, nullptr, InsertLogged);
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int MergeFolders(int32_t power, const std::vector<std::string>& folders) {
  int status = 0;
  Tally all;
  for (const std::string& folder : folders) {
    if (!IsFolder(folder)) {
      Print("No folder %s\n", folder.c_str());
      status = 1;
      continue;
    }
    Tally tally;
    const std::string log = folder + "/" + ResultLogName(power);
    const std::string checkpoint = folder + "/" + CheckpointName(power);
    ResultLogReading logReading;
    CheckpointReading binReading;
    {
      // What enters the store is new to this folder.
      const StoreEntryWatch entering([&tally](const SolutionRecord&) { ++tally.entered; });
      logReading = ReadResultLog(
          power, [&](SolutionRecord& r) { Take(r, power, log, tally); }, folder);
      binReading = ReadCheckpoint(
          power, [&](SolutionRecord& r) { Take(r, power, checkpoint, tally); }, false, folder);
    }
    if (logReading.missing && binReading.missing) {
      Print("No %s or %s in %s\n", ResultLogName(power).c_str(), CheckpointName(power).c_str(),
            folder.c_str());
    }
    // A damaged file gives what it held before the damage, and says so.
    if (!logReading.failure.empty()) {
      Print("Stopped reading %s: %s", log.c_str(), logReading.failure.c_str());
      status = 1;
    }
    if (!binReading.failure.empty() || binReading.damaged) {
      Print("Stopped reading %s: %s", checkpoint.c_str(),
            binReading.damaged ? "Corrupted bin file\n" : binReading.failure.c_str());
      status = 1;
    }
    if (logReading.stopped || binReading.stopped) {
      // What came in so far is kept, as a stopped search keeps what it found;
      // a merge run again takes the rest.
      SaveCheckpoint(power);
      Print("Merge stopped in %s: %lld solutions taken so far, %lld new\n", folder.c_str(),
            static_cast<long long>(all.read + tally.read),
            static_cast<long long>(all.entered + tally.entered));
      FlushConsole();
      return 1;
    }
    Print("From %s: %lld solutions, %lld new%s\n", folder.c_str(),
          static_cast<long long>(tally.read), static_cast<long long>(tally.entered),
          tally.wrong > 0 ? (", " + std::to_string(tally.wrong) + " false, left out").c_str() : "");
    if (tally.wrong > 0) status = 1;
    all.read += tally.read;
    all.entered += tally.entered;
    all.wrong += tally.wrong;
  }
  SaveCheckpoint(power);
  Print("Merged %zu folders: %lld solutions, %lld new, %lld false\n", folders.size(),
        static_cast<long long>(all.read), static_cast<long long>(all.entered),
        static_cast<long long>(all.wrong));
  FlushConsole();
  return status;
}

}  // namespace quorvex
