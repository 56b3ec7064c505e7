#pragma once

#include "run/worker_pool.hpp"

namespace quorvex {

// Walks the MaxBase range with its SAVE and NEMB schedules, the iterations
// running on the pool's workers. Returns the exit status: 0 for a finished
// range, 1 for a stop (Escape or a signal).
int RunLoop(WorkerPool& pool);

}  // namespace quorvex
