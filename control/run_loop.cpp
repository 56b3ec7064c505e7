#include "control/run_loop.hpp"

#include <cstdio>

#include "control/keyboard.hpp"
#include "control/parameters.hpp"
#include "control/run_state.hpp"
#include "search/cross_reduction.hpp"
#include "store/checkpoint.hpp"

namespace quorvex {

namespace {

// A stop keeps everything: the counters of the last finished iteration and the store.
int StopRun() {
  SaveParameters();
  SaveCheckpoint(gParams.POWER);
  std::fflush(stdout);
  return 1;
}

bool StopPolled() {
  PollEscapeKey();
  return gRun.StopRequested != 0;
}

// Adds one to a schedule counter and tells whether its period is reached. The
// sum is taken in 64 bits: a counter loaded at the top of the 32-bit range must
// reach its period, not wrap past it.
bool PeriodReached(int32_t& counter, int32_t period) {
  bool reached = static_cast<int64_t>(counter) + 1 >= period;
  counter = reached ? 0 : counter + 1;
  return reached;
}

}  // namespace

int RunLoop(IterationFn iterate) {
  Parameters& p = gParams;
  for (;;) {
    while (p.START != p.END) {
      std::printf("Max=%d\n", p.START);
      std::fflush(stdout);
      bool iterated = false;
      while (p.CURRENTITERATION < p.ITERATIONS) {
        if (StopPolled()) return StopRun();
        iterate(p.POWER, p.START, p.BLOCKSIZE, p.WORKTERMS);
        iterated = true;
        ++p.CURRENTITERATION;
        if (PeriodReached(p.CURRENTSAVE, p.SAVE) && p.SAVE != 0) {
          SaveParameters();
          SaveCheckpoint(p.POWER);
        }
        if (PeriodReached(p.CURRENTNEMB, p.NEMB) && p.NEMB != 0) {
          SaveParameters();
          SaveCheckpoint(p.POWER);
          CrossReductionPass();
        }
      }
      // A step without iterations would otherwise never look at the stop flag.
      if (!iterated && StopPolled()) return StopRun();
      p.CURRENTITERATION = 0;
      p.START += p.END > p.START ? 1 : -1;
      SaveParameters();
    }
    if (p.RESTART < 0) {
      SaveCheckpoint(p.POWER);
      std::fflush(stdout);
      return 0;
    }
    // Walking again from RESTART would search nothing, forever.
    if (p.RESTART == p.END || p.ITERATIONS <= 0) {
      SaveParameters();
      SaveCheckpoint(p.POWER);
      std::printf("Restart at %d would search nothing: run ends\n", p.RESTART);
      std::fflush(stdout);
      return 0;
    }
    p.START = p.RESTART;
  }
}

}  // namespace quorvex
