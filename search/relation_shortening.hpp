#pragma once

#include <cstdint>

#include "store/solution_record.hpp"

namespace quorvex {

struct HarvestState {
  SolutionRecord HarvestCandidate;
  int32_t WorkRow[kMaxTerms];  // the relation being shortened
};
extern thread_local constinit HarvestState gHarvest;

// Shortens the R extracted relations in two passes and appends the changed
// rows; returns J, the number of rows in the table afterwards, or -1 when a
// stop cut the shortening short.
int32_t ShortenRelations(int32_t relationCount, int32_t workTerms);
// Turns rows 0..J-1 into candidates, shortens and inserts them, prints the
// sizes and the average line. Returns false when a stop cut it short.
bool HarvestRelations(int32_t rowCount, int32_t workTerms);

}  // namespace quorvex
