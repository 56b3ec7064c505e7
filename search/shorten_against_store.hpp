#pragma once

#include "store/solution_record.hpp"

namespace quorvex {

// Improves `candidate` against every stored record, in slot order, then
// inserts it (logged). Returns false, with nothing inserted, when a stop cut
// it short.
bool ShortenAgainstStore(SolutionRecord& candidate);

}  // namespace quorvex
