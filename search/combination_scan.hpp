#pragma once

#include <cstdint>

#include "store/solution_store.hpp"
#include "store/store_index.hpp"

namespace quorvex {

// m + n and term count of candidate + sign * stored record, without writing
// the Terms.
struct CombinationCounts {
  int64_t positive;
  int64_t negative;
  int64_t terms;
};

// The candidate whose combinations with the stored records are being looked
// at: its multiplicities by base, and per slot how many powers cancel on
// each side of the difference and of the sum (against simply putting the
// two records side by side).
struct CombinationScan {
  int32_t multiplicityOf[kIndexedBaseLimit];
  int32_t differenceLostLeft[kStoreSlots];
  int32_t differenceLostRight[kStoreSlots];
  int32_t sumLostLeft[kStoreSlots];
  int32_t sumLostRight[kStoreSlots];
  bool flagged[kStoreSlots];
  int64_t positive;
  int64_t negative;
  int32_t termCount;
  int32_t loadedBases[kMaxTerms];  // the bases set in multiplicityOf
  int32_t loadedCount;
  bool loaded;
};
extern CombinationScan gScan;

// Loads a plain candidate (IsPlainList) and flags every slot whose difference
// or sum has fewer than `below` powers or would lower the table now; slots
// that are free or hold unusual records are always flagged. Returns false, with nothing loaded, for
// other candidates.
bool LoadCandidate(const SolutionRecord& candidate, int64_t below);
// Clears what LoadCandidate set; call before the store or the candidate changes.
void UnloadCandidate();
// Exact counts of the loaded candidate + sign * the plain record in `slot`.
CombinationCounts CountCombination(int32_t slot, int32_t sign);
// A combination CombineTerms would report as too long (200 Terms or more, or
// m + n past 2^31 - 1).
bool TooLong(const CombinationCounts& counts);

}  // namespace quorvex
