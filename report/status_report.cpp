#include "report/status_report.hpp"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "base/file_reading.hpp"
#include "base/folder_lock.hpp"
#include "base/line_reader.hpp"
#include "report/iteration_rate.hpp"
#include "report/reading_notes.hpp"
#include "run/reducer_file.hpp"
#include "search/cross_reduction.hpp"
#include "search/reducer.hpp"
#include "search/search_iteration.hpp"
#include "store/checkpoint.hpp"
#include "store/result_log.hpp"

namespace quorvex {

namespace {

constexpr size_t kShownImprovements = 5;

std::optional<double> ModificationTime(const std::string& name) {
  struct stat info;
  if (::stat(name.c_str(), &info) != 0) return std::nullopt;
  return static_cast<double>(info.st_mtim.tv_sec) +
         1e-9 * static_cast<double>(info.st_mtim.tv_nsec);
}

std::string LocalTime(double seconds) {
  const std::time_t whole = static_cast<std::time_t>(seconds);
  std::tm parts;
  localtime_r(&whole, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
  return text;
}

// The last non-empty line of a text file that only ever grows at its end, read
// from its tail so a log of many weeks costs no more than a short one.
std::string LastLine(const std::string& name) {
  FilePtr file(std::fopen(name.c_str(), "rb"));
  if (!file) return {};
  char tail[4096];
  std::fseek(file.get(), 0, SEEK_END);
  const long size = std::ftell(file.get());
  const long start =
      size > static_cast<long>(sizeof tail) ? size - static_cast<long>(sizeof tail) : 0;
  std::fseek(file.get(), start, SEEK_SET);
  std::string text(tail, std::fread(tail, 1, sizeof tail, file.get()));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text.substr(text.find_last_of('\n') + 1);
}

void PrintSearchState(FolderLockState lock) {
  switch (lock) {
    case FolderLockState::Held:
      std::printf("Search: running (a search holds this folder)\n");
      break;
    case FolderLockState::Free:
      std::printf("Search: not running\n");
      break;
    case FolderLockState::Unknown:
      std::printf("Search: not known (the folder's lock cannot be tested)\n");
      break;
  }
}

int64_t Steps(int32_t from, int32_t to) {
  return from > to ? int64_t{from} - to : int64_t{to} - from;
}

void PrintWalk(const Parameters& p) {
  if (p.START == p.END && p.RESTART < 0) {
    std::printf("MaxBase walk: finished at END=%d\n", p.END);
    return;
  }
  std::printf("MaxBase walk: at %d toward END=%d (END itself is not searched)", p.START, p.END);
  if (p.RESTART >= 0) std::printf(", then again from RESTART=%d", p.RESTART);
  const int64_t done = std::min(p.CURRENTITERATION, p.ITERATIONS);
  const int64_t steps = Steps(p.START, p.END);
  std::printf("\nIteration: %d of %d at MaxBase %d", p.CURRENTITERATION, p.ITERATIONS, p.START);
  if (p.ITERATIONS > 0) {
    std::printf(" (%lld%%)", static_cast<long long>(100 * done / p.ITERATIONS));
  }
  std::printf("; %lld steps and %lld iterations left to END\n", static_cast<long long>(steps),
              static_cast<long long>(steps * p.ITERATIONS - done));
  // Only a restart value tells where the walk begins; PARAMS.INI keeps no
  // first START.
  const bool inLap = p.RESTART >= 0 && p.RESTART != p.END && Steps(p.RESTART, p.END) >= steps &&
                     (p.START - p.RESTART) * (p.END - p.RESTART) >= 0;
  if (!inLap) {
    std::printf("Range done: not known (PARAMS.INI does not keep the first MaxBase)\n");
    return;
  }
  const int64_t lap = Steps(p.RESTART, p.END) * std::max(p.ITERATIONS, 1);
  const int64_t lapDone = Steps(p.RESTART, p.START) * std::max(p.ITERATIONS, 1) + done;
  std::printf("Range done: %lld%% of the walk from RESTART=%d to END=%d\n",
              static_cast<long long>(100 * lapDone / lap), p.RESTART, p.END);
}

void PrintSpeed(const Parameters& p, bool running) {
  RunFileTimes times;
  times.params = ModificationTime(kParamsFile).value_or(0);
  times.checkpoint = ModificationTime(CheckpointName(p.POWER));
  times.stats = ModificationTime(kStatsFile);
  std::optional<IterationRate> rate = EstimateIterationRate(p, times);
  if (!rate) {
    std::printf("Speed: not known yet\n");
    return;
  }
  std::printf("Speed: %.0f iterations per hour%s (%lld iterations from %s to %s)\n",
              rate->PerHour(), running ? "" : " in the last run",
              static_cast<long long>(rate->iterations), LocalTime(rate->from).c_str(),
              LocalTime(rate->to).c_str());
}

void PrintFiles(const Parameters& p, ReadingNotes& notes) {
  const std::string storeName = CheckpointName(p.POWER);
  CheckpointReading store = ReadCheckpoint(
      p.POWER, [](SolutionRecord&) {}, false);
  notes.Add(storeName, store);
  if (!store.missing) {
    std::printf("Store: %d solution%s in %s, saved %s\n", store.read, store.read == 1 ? "" : "s",
                storeName.c_str(), LocalTime(ModificationTime(storeName).value_or(0)).c_str());
  }

  const std::string logName = ResultLogName(p.POWER);
  std::deque<std::string> last;
  ResultLogReading log = ReadResultLog(
      p.POWER, [](SolutionRecord&) {}, "",
      [&last](const char* line) {
        last.emplace_back(line);
        if (last.size() > kShownImprovements) last.pop_front();
      });
  notes.Add(logName, log);
  if (!last.empty()) {
    // Lines carry no time; the file's own says when the last one came.
    std::printf("Last improvements in %s (the last written %s):\n", logName.c_str(),
                LocalTime(ModificationTime(logName).value_or(0)).c_str());
    for (const std::string& line : last) std::printf("  %s\n", line.c_str());
  }

  const std::string stats = LastLine(kStatsFile);
  if (!stats.empty()) {
    std::printf("Last cross-reduction pass (%s, %s):\n  %s\n", kStatsFile,
                LocalTime(ModificationTime(kStatsFile).value_or(0)).c_str(), stats.c_str());
  }
}

// Only a search that chose a faster routine leaves REDUCER.TXT behind.
void PrintReducer(ReadingNotes& notes) {
  const ReducerFileReading reading = ReadReducerFile();
  if (reading.missing) {
    std::printf("Reducer: %s, the default (no %s)\n", kDefaultReducer, kReducerFile);
  } else if (reading.damaged) {
    notes.damage.push_back(std::string(kReducerFile) + " is damaged: the reducer is not known.");
  } else {
    std::printf("Reducer: %s; %lld lattices it failed on reduced again with %s (%s)\n",
                reading.reducer.c_str(), static_cast<long long>(reading.reducedAgain),
                kDefaultReducer, kReducerFile);
  }
}

// Steps of the walk still to come, the current one included, whose
// iterations would draw nothing.
void WarnAboutEmptyIterations(const Parameters& p) {
  if (p.START == p.END) return;
  int64_t empty = 0;
  int32_t first = -1;
  const int32_t direction = p.END > p.START ? 1 : -1;
  for (int32_t maxBase = p.START; maxBase != p.END; maxBase += direction) {
    if (IterationWorkTerms(p.WORKTERMS, maxBase, p.BLOCKSIZE) <= maxBase) continue;
    if (first < 0) first = maxBase;
    ++empty;
  }
  if (empty == 0) return;
  std::printf(
      "Warning: %lld of the %lld steps left draw nothing, as WorkTerms exceeds MaxBase there: %d "
      "bases at MaxBase %d",
      static_cast<long long>(empty), static_cast<long long>(Steps(p.START, p.END)),
      IterationWorkTerms(p.WORKTERMS, first, p.BLOCKSIZE), first);
  if (p.WORKTERMS == 0) {
    std::printf(" (WORKTERMS=0: the larger of MaxBase and BLOCKSIZE=%d, at most %d)", p.BLOCKSIZE,
                kMaxWorkTerms);
  }
  std::printf("\n");
}

}  // namespace

int StatusReport() {
  Parameters p = DefaultParameters();
  if (!ReadReportParameters(p)) return 1;
  const FolderLockState lock = ProbeWorkingFolderLock();
  std::printf("Power: %d\n", p.POWER);
  PrintSearchState(lock);
  ReadingNotes notes;
  PrintReducer(notes);
  PrintWalk(p);
  PrintSpeed(p, lock == FolderLockState::Held);
  PrintFiles(p, notes);
  WarnAboutEmptyIterations(p);
  std::fflush(stdout);
  return notes.Print() ? 1 : 0;
}

}  // namespace quorvex
