#pragma once

#include <csignal>
#include <cstdint>

namespace quorvex {

// Program-wide state of a run that the result log, the search and the
// cross-reduction share.
struct RunState {
  // Set by the Escape key and by SIGINT/SIGTERM/SIGHUP; never cleared during a run.
  volatile std::sig_atomic_t StopRequested = 0;
  int32_t CurrentPower = 0;   // k printed in every solution line
  int32_t CurrentWeight = 0;  // weight of the cross-reduction under way
  int32_t PassCounter = 0;    // passes completed at CurrentWeight
};
extern RunState gRun;

}  // namespace quorvex
