#include "control/entry.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "control/exported.hpp"
#include "control/fatal_error.hpp"
#include "control/folder_lock.hpp"
#include "control/keyboard.hpp"
#include "control/parameters.hpp"
#include "control/priority.hpp"
#include "control/run_loop.hpp"
#include "control/run_state.hpp"
#include "control/signals.hpp"
#include "control/usage.hpp"
#include "quorvex.h"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"
#include "store/verify.hpp"

namespace quorvex {

namespace {

enum class Command { Search, Extract, Verify };

struct CommandLine {
  Command command = Command::Search;
  bool haveSeed = false;
  uint32_t seed = 0;
  int32_t threads = 1;
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

constexpr int32_t kMostThreads = 1024;

// A decimal from `least` to `most`, nothing else.
bool ParseWhole(const char* text, uint64_t least, uint64_t most, uint64_t& value) {
  if (text == nullptr || *text == '\0') return false;
  value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(*c - '0');
    if (value > most) return false;
  }
  return value >= least;
}

int UsageError(const char* message, const char* argument) {
  std::fprintf(stderr, message, argument);
  std::fputs(kUsageText, stderr);
  return 2;
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
      const char* text = i + 1 < argc ? argv[++i] : nullptr;
      uint64_t value = 0;
      if (!ParseWhole(text, 0, UINT32_MAX, value)) {
        return UsageError("--seed needs a whole number from 0 to 4294967295, not \"%s\"\n",
                          text == nullptr ? "" : text);
      }
      line.seed = static_cast<uint32_t>(value);
      line.haveSeed = true;
    } else if (std::strcmp(arg, "--threads") == 0 || std::strcmp(arg, "-j") == 0) {
      const char* text = i + 1 < argc ? argv[++i] : nullptr;
      uint64_t value = 0;
      if (!ParseWhole(text, 1, kMostThreads, value)) {
        return UsageError("--threads needs a whole number from 1 to 1024, not \"%s\"\n",
                          text == nullptr ? "" : text);
      }
      line.threads = static_cast<int32_t>(value);
    } else if (arg[0] == '-') {
      return UsageError("Unknown option %s\n", arg);
    } else if (!haveCommand) {
      // Only the first word counts; any further word is ignored.
      haveCommand = true;
      if (EqualsIgnoringCase(arg, "extract")) line.command = Command::Extract;
      if (EqualsIgnoringCase(arg, "verify")) line.command = Command::Verify;
    }
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

int ProgramEntry(int argc, char** argv) {
  CommandLine line;
  if (int status = ParseCommandLine(argc, argv, line); status >= 0) return status;
  if (line.help) {
    std::fputs(kUsageText, stdout);
    return Finish(0);
  }
  if (line.version) {
    std::fputs(kVersionText, stdout);
    return Finish(0);
  }

  std::printf("Quorvex beta 10\n");
  gRun.StopRequested = 0;
  // Listing and verifying only read, so they may run beside a search.
  if (line.command == Command::Search && !LockWorkingFolder()) {
    std::printf("Another quorvex run is using this folder\n");
    return Finish(1);
  }
  if (LoadParameters() != 0) {
    std::printf("Cannot load parameters\n");
    return Finish(1);
  }
  ApplyPriority(gParams.PRIORITY);
  std::fflush(stdout);
  if (line.command == Command::Search) {
    // Loading a large store takes a while; a stop during it ends the run
    // before any file is written (Init then reports it).
    InstallStopSignals();
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

  const uint32_t seed = line.haveSeed ? line.seed : static_cast<uint32_t>(std::time(nullptr));
  WorkerPool pool(line.threads, seed, RunIteration);
  const int status = RunLoop(pool);
  // A worker left inside a reduction by a stop cannot be waited for.
  if (pool.Abandoned()) ExitProcess(status);
  StopKeyboardWatch();
  KeyboardEnd();
  return Finish(status);
}

}  // namespace quorvex
