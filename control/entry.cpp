#include "control/entry.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "control/console.hpp"
#include "control/exported.hpp"
#include "control/fatal_error.hpp"
#include "control/folder_lock.hpp"
#include "control/keyboard.hpp"
#include "control/merge_folders.hpp"
#include "control/parameters.hpp"
#include "control/priority.hpp"
#include "control/reducer_file.hpp"
#include "control/run_loop.hpp"
#include "control/run_state.hpp"
#include "control/signals.hpp"
#include "control/usage.hpp"
#include "quorvex.h"
#include "report/best_report.hpp"
#include "report/status_report.hpp"
#include "search/reducer.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"
#include "store/verify.hpp"

namespace quorvex {

namespace {

enum class Command { Search, Extract, Verify, Best, Status, Merge };

struct CommandLine {
  Command command = Command::Search;
  bool haveSeed = false;
  uint32_t seed = 0;
  int32_t threads = 1;               // --threads
  bool quiet = false;                // --quiet
  int32_t power = -1;                // --power; -1: PARAMS.INI's
  int32_t reducer = -1;              // --reducer, by its place; -1: not given
  std::string svg;                   // --svg
  std::vector<std::string> folders;  // merge: the folders to take from
  bool help = false;
  bool version = false;
};

bool EqualsIgnoringCase(const char* text, const char* word) {
  for (; *word != '\0'; ++text, ++word) {
    char c = *text;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *word) return false;
  }
  return *text == '\0';
}

constexpr uint64_t kMostThreads = 1024;

// A decimal from `least` to `largest`, nothing else.
bool ParseWhole(const char* text, uint64_t least, uint64_t largest, uint64_t& value) {
  if (text == nullptr || *text == '\0') return false;
  value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(*c - '0');
    if (value > largest) return false;
  }
  return value >= least;
}

int UsageError(const std::string& message) {
  std::fputs(message.c_str(), stderr);
  std::fputs(UsageText().c_str(), stderr);
  return 2;
}

// Reads the whole number that follows the option at argv[i], moving i onto
// it. Returns -1 when it is good, else the exit status of its refusal.
int OptionNumber(int argc, char** argv, int& i, uint64_t least, uint64_t largest, uint64_t& value) {
  const std::string option = argv[i];
  const char* text = i + 1 < argc ? argv[++i] : nullptr;
  if (ParseWhole(text, least, largest, value)) return -1;
  return UsageError(option + " needs a whole number from " + std::to_string(least) + " to " +
                    std::to_string(largest) + ", not \"" +
                    std::string(text == nullptr ? "" : text) + "\"\n");
}

// Returns -1 when the line is good, else the exit status of its refusal.
int ParseCommandLine(int argc, char** argv, CommandLine& line) {
  bool haveCommand = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      line.help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      line.version = true;
    } else if (std::strcmp(arg, "--seed") == 0) {
      uint64_t seed = 0;
      if (int status = OptionNumber(argc, argv, i, 0, UINT32_MAX, seed); status >= 0) return status;
      line.seed = static_cast<uint32_t>(seed);
      line.haveSeed = true;
    } else if (std::strcmp(arg, "--threads") == 0 || std::strcmp(arg, "-j") == 0) {
      uint64_t threads = 0;
      if (int status = OptionNumber(argc, argv, i, 1, kMostThreads, threads); status >= 0) {
        return status;
      }
      line.threads = static_cast<int32_t>(threads);
    } else if (std::strcmp(arg, "--quiet") == 0 || std::strcmp(arg, "-q") == 0) {
      line.quiet = true;
    } else if (std::strcmp(arg, "--power") == 0) {
      uint64_t power = 0;
      if (int status = OptionNumber(argc, argv, i, 0, INT32_MAX, power); status >= 0) return status;
      line.power = static_cast<int32_t>(power);
    } else if (std::strcmp(arg, "--reducer") == 0) {
      const char* value = i + 1 < argc ? argv[++i] : nullptr;
      line.reducer = value == nullptr ? -1 : FindReducer(value);
      if (line.reducer < 0) {
        return UsageError("--reducer needs one of " + ReducerNames() + ", not \"" +
                          std::string(value == nullptr ? "" : value) + "\"\n");
      }
    } else if (std::strcmp(arg, "--svg") == 0) {
      const char* value = i + 1 < argc ? argv[++i] : nullptr;
      if (value == nullptr || *value == '\0') return UsageError("--svg needs a file name\n");
      line.svg = value;
    } else if (arg[0] == '-') {
      return UsageError("Unknown option " + std::string(arg) + "\n");
    } else if (haveCommand && line.command == Command::Merge) {
      line.folders.push_back(arg);
    } else if (!haveCommand) {
      // Only the first word counts; any further word is ignored.
      haveCommand = true;
      if (EqualsIgnoringCase(arg, "extract")) line.command = Command::Extract;
      if (EqualsIgnoringCase(arg, "verify")) line.command = Command::Verify;
      if (EqualsIgnoringCase(arg, "merge")) line.command = Command::Merge;
      if (EqualsIgnoringCase(arg, "best")) line.command = Command::Best;
      if (EqualsIgnoringCase(arg, "status")) line.command = Command::Status;
    }
  }
  if ((line.power >= 0 || !line.svg.empty()) && line.command != Command::Best) {
    return UsageError("--power and --svg go with best only\n");
  }
  if (line.reducer >= 0 && line.command != Command::Search) {
    return UsageError("--reducer goes with the search only\n");
  }
  return -1;
}

void ListStore() {
  for (const SolutionRecord& slot : gStore.slots) {
    if (slot.termCount != 0) PrintSolutionNote(slot);
  }
}

int Finish(int status) {
  std::fflush(stdout);
  return status;
}

}  // namespace

int ProgramEntry(int argc, char** argv, SearchExtension* extension) {
  CommandLine line;
  if (int status = ParseCommandLine(argc, argv, line); status >= 0) return status;
  if (line.help) {
    std::fputs(UsageText().c_str(), stdout);
    return Finish(0);
  }
  if (line.version) {
    std::fputs(kVersionText, stdout);
    return Finish(0);
  }

  // The reports only read the folder and print nothing else, so that their
  // output can be kept or published as it is.
  if (line.command == Command::Best) return Finish(BestReport(line.power, line.svg));
  if (line.command == Command::Status) return Finish(StatusReport());

  if (line.command == Command::Merge && line.folders.empty()) {
    return UsageError("merge needs the folders to take solutions from\n");
  }
  std::printf("Quorvex beta 10\n");
  gRun.StopRequested = 0;
  // Listing and verifying only read, so they may run beside a search.
  const bool writes = line.command == Command::Search || line.command == Command::Merge;
  // From here on a stop signal is a stop, whatever the run is doing; one that
  // comes while the store is loaded ends the run before any file is written.
  if (writes) InstallStopSignals();
  if (writes && !LockWorkingFolder()) {
    std::printf("Another quorvex run is using this folder\n");
    return Finish(1);
  }
  if (LoadParameters() != 0) {
    std::printf("Cannot load parameters\n");
    return Finish(1);
  }
  ApplyPriority(gParams.PRIORITY);
  std::fflush(stdout);
  if (writes) {
    KeyboardBegin();
    StartKeyboardWatch();
  }
  if (Init(gParams.POWER) != 0) return Finish(1);
  gRun.CurrentPower = gParams.POWER;

  if (line.command == Command::Extract) {
    ListStore();
    return Finish(0);
  }
  if (line.command == Command::Verify) return Finish(VerifyAll(gParams.POWER));
  if (line.command == Command::Merge) {
    const int status = MergeFolders(gParams.POWER, line.folders);
    StopKeyboardWatch();
    KeyboardEnd();
    return Finish(status);
  }

  const uint32_t seed = line.haveSeed ? line.seed : static_cast<uint32_t>(std::time(nullptr));
  SetQuietConsole(line.quiet);
  SetReducerIndex(std::max(line.reducer, 0));
  KeepReducerFile();
  if (!DefaultReducerInUse()) {
    Print("Lattice reduction: %s, and %s for a lattice it fails on\n", ReducerName(),
          kDefaultReducer);
  }
  if (extension != nullptr) extension->Loaded(seed, line.threads);
  WorkerPool pool(line.threads, seed, RunIteration);
  if (extension != nullptr) extension->Started(pool);
  const int status = RunLoop(pool);
  if (extension != nullptr) extension->Ended(status);
  // A worker left inside a reduction by a stop cannot be waited for.
  if (pool.Abandoned()) ExitProcess(status);
  StopKeyboardWatch();
  KeyboardEnd();
  return Finish(status);
}

}  // namespace quorvex
