#pragma once

#include <cstdint>

namespace quorvex {

// ComputeOneIteration as the console run needs it: 1 for an iteration that
// ran, 0 for arguments outside what the engine holds (the reason is printed),
// -1 for an iteration a stop cut short, which must not be counted.
int32_t RunIteration(int32_t power, int32_t maxBase, int32_t blockSize, int32_t workTerms);

// Puts the engine's state as Init needs it before it loads the files: an
// empty store with a fresh best-size table, nothing known of a damaged
// checkpoint, the log suffix at (0,0), quick store queries. The parameters,
// the stop flag and the random generator are not the engine's to reset.
void ResetEngine();

}  // namespace quorvex
