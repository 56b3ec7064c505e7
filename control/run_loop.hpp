#pragma once

#include <cstdint>

namespace quorvex {

// One search iteration as the run loop sees it; tests substitute a counter.
using IterationFn = int32_t (*)(int32_t power, int32_t maxBase, int32_t blockSize,
                                int32_t workTerms);

// Walks the MaxBase range with its SAVE and NEMB schedules. Returns the exit
// status: 0 for a finished range, 1 for a stop (Escape or a signal).
int RunLoop(IterationFn iterate);

}  // namespace quorvex
