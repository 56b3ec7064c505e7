#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvex {

// Brings the solutions of other folders' stores (DATA<k>.BIN) and result logs
// (DATA<k>.TXT) for the loaded store's power into it: each checked exactly
// first, a false one reported and left out; duplicates dropped, improvements
// logged as the search logs them; then the checkpoint rewritten. The other
// folders are only read. Returns the exit status: 0 when every solution held
// and every file could be read, else 1. A stop ends it at the next solution,
// with what came in so far saved.
int MergeFolders(int32_t power, const std::vector<std::string>& folders);

}  // namespace quorvex
