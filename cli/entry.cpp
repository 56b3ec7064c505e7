#include "cli/entry.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "base/folder_lock.hpp"
#include "base/keyboard.hpp"
#include "base/priority.hpp"
#include "base/run_state.hpp"
#include "base/signals.hpp"
#include "cli/options.hpp"
#include "quorvex.h"
#include "report/best_report.hpp"
#include "report/status_report.hpp"
#include "run/exported.hpp"
#include "run/merge_folders.hpp"
#include "run/parameters.hpp"
#include "run/reducer_file.hpp"
#include "run/run_loop.hpp"
#include "search/reducer.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"
#include "store/verify.hpp"

namespace quorvex {

namespace {

int UsageError(const std::string& message) {
  std::fputs(message.c_str(), stderr);
  std::fputs(UsageText().c_str(), stderr);
  return 2;
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
  SetReducerIndex(line.reducer);
  KeepReducerFile();
  if (!DefaultReducerInUse()) {
    Print("Lattice reduction: %s, and %s for a lattice it fails on\n", ReducerName(),
          kDefaultReducer);
  }
  if (extension != nullptr) extension->Loaded(seed, line.threads);
  WorkerPool pool(line.threads, seed, RunIteration);
  if (extension != nullptr) extension->Started(pool.Scheduler());
  const int status = RunLoop(pool);
  if (extension != nullptr) extension->Ended(status);
  // A worker left inside a reduction by a stop cannot be waited for.
  if (pool.Scheduler().Abandoned()) ExitProcess(status);
  StopKeyboardWatch();
  KeyboardEnd();
  return Finish(status);
}

}  // namespace quorvex
