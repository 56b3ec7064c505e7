#pragma once

#include <atomic>
#include <cstdint>

namespace quorvex {

// Program-wide state of a run that the result log, the search and the
// cross-reduction share.
struct RunState {
  // Set by the Escape key and by SIGINT/SIGTERM/SIGHUP; never cleared during a
  // run. Atomic: a signal handler and every worker thread touch it.
  std::atomic<int32_t> StopRequested{0};
  int32_t CurrentPower = 0;   // k printed in every solution line
  int32_t CurrentWeight = 0;  // weight of the cross-reduction under way
  int32_t PassCounter = 0;    // passes completed at CurrentWeight
};
extern RunState gRun;

static_assert(std::atomic<int32_t>::is_always_lock_free, "a signal handler sets StopRequested");

// Whether the run should stop now. A flag read, cheap enough for the innermost
// loops of long work, so that a stop takes effect wherever the run is, not
// only between iterations and records. (The keyboard is read by its own
// watcher, which sets the flag on Escape.)
inline bool StopNow() {
  return gRun.StopRequested.load(std::memory_order_relaxed) != 0;
}

}  // namespace quorvex
