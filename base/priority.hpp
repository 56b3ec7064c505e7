#pragma once

#include <cstdint>

namespace quorvex {

// Base scheduling level 1 (lowest) to 10 (normal) for a PRIORITY value.
int32_t PriorityLevel(int32_t priority);
// True when the PRIORITY value selects the idle class (2 to 6).
bool PriorityIsIdleClass(int32_t priority);
// nice value for a level: 19 - 19 * (level - 1) / 9, rounded.
int32_t NiceForLevel(int32_t level);
// Applies PRIORITY to the process: SCHED_IDLE for the idle class, otherwise a
// nice value; never raises the priority. Failures are ignored.
void ApplyPriority(int32_t priority);

}  // namespace quorvex
