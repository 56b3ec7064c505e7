#pragma once

#include <cstdint>

#include "store/solution_record.hpp"

namespace quorvex {

struct HarvestState {
  SolutionRecord HarvestCandidate;
  int32_t WorkRow[kMaxTerms];  // the relation being shortened
  // When set, the harvest calls this instead of ShortenAgainstStore: the
  // tests swap in the straightforward routine to check that results match.
  bool (*shortenAgainstStore)();
};
extern thread_local HarvestState gHarvest;

// Shortens the R extracted relations in two passes and appends the changed
// rows; returns J, the number of rows in the table afterwards, or -1 when a
// stop cut the shortening short.
int32_t ShortenRelations(int32_t relationCount, int32_t workTerms);
// Turns rows 0..J-1 into candidates, shortens and inserts them, prints the
// sizes and the average line. Returns false when a stop cut it short.
bool HarvestRelations(int32_t rowCount, int32_t workTerms);
// Improves HarvestCandidate against every stored record, then inserts it.
// Returns false, with nothing inserted, when a stop cut it short.
bool ShortenAgainstStore();
// Merged a + sign * b of two descending Term lists into out; returns the
// number of Terms written (200 or more means too long). A merged multiplicity
// beyond 32 bits, or a result with more than kMaxPowers powers, also returns
// 200, so that no caller ever evaluates it.
int32_t CombineTerms(const SolutionRecord& a, const SolutionRecord& b, int32_t sign,
                     SolutionRecord& out);

}  // namespace quorvex
