#pragma once

#include <cstdint>

#include "run/scheduler.hpp"

namespace quorvex {

// What a program built around the console program adds to its search (the
// same search spread over processes): it is told when the store is loaded,
// when the workers are ready and when the run loop has ended.
class SearchExtension {
 public:
  virtual ~SearchExtension() = default;
  // The store and the parameters are loaded; the search is about to begin.
  virtual void Loaded(uint32_t seed, int32_t threads) = 0;
  // The workers of this process are ready; more may take iterations from
  // the scheduler (Take and Finish) until Ended.
  virtual void Started(IterationScheduler& scheduler) = 0;
  // The run loop has returned with `status` (its saves are done).
  virtual void Ended(int status) = 0;
};

// The console program: parses the command line, runs the listing or the
// search, and returns the process exit status.
int ProgramEntry(int argc, char** argv, SearchExtension* extension = nullptr);

}  // namespace quorvex
