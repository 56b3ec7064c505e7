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

// The quick look goes through the slots in steps while the table's reach is
// below this, so that a candidate that changes early spares the rest.
constexpr int32_t kLazyTableEntries = 256;

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
  // Filled by LoadCandidateSparse instead of the per-slot counts above.
  bool sparse;
  int32_t sharedHighBases[kStoreSlots];  // shared bases from kMaskedBaseLimit on
  int32_t touchedSlots[kStoreSlots];     // slots with sharedHighBases set
  int32_t touchedCount;
  int32_t flaggedSlots[kStoreSlots];  // ascending
  uint8_t exactSigns[kStoreSlots];    // per listed slot: 1 difference, 2 sum to count
  int32_t flaggedCount;
  int32_t flaggedRead;  // first entry NextFlaggedSlot has not passed
  int32_t lookedTo;     // slots from here on are not looked at yet
  // The candidate as the quick look needs it (see combination_scan.cpp).
  uint64_t lowBits[2];
  uint64_t lowPositive[2];
  int64_t largest;
  int64_t below;
  int64_t sizeExcess;
  int64_t sideLimit;
  // Entries 0..sideLimit of the table when the candidate was loaded, so that
  // slots looked at later are judged as at the load.
  int32_t tableAtLoad[kLazyTableEntries];
};
extern CombinationScan gScan;

// Loads a plain candidate (IsPlainList) and flags every slot whose difference
// or sum has fewer than `below` powers or would lower the table now; slots
// that are free or hold unusual records are always flagged. Returns false, with nothing loaded, for
// other candidates.
bool LoadCandidate(const SolutionRecord& candidate, int64_t below);
// The same flags for the occupied slots from `from` on, read one by one with
// NextFlaggedSlot as they were at this call (flagged[] is not used). Only
// slots sharing enough bases with the candidate to bring a side within the
// table's reach, or the size below `below`, are counted exactly: a full store
// holds many records that share a base or two with any candidate and nothing
// more.
bool LoadCandidateSparse(const SolutionRecord& candidate, int64_t below, int32_t from);
// The first occupied slot from `slot` on that LoadCandidateSparse flags, or
// kStoreSlots; `slot` must not go down between calls for one load.
int32_t NextFlaggedSlot(int32_t slot);
// Clears what LoadCandidate or LoadCandidateSparse set; call before the store or the candidate
// changes.
void UnloadCandidate();
// Exact counts of the loaded candidate + sign * the plain record in `slot`.
CombinationCounts CountCombination(int32_t slot, int32_t sign);
// A combination CombineTerms would report as too long (200 Terms or more, or
// more than kMaxPowers powers).
bool TooLong(const CombinationCounts& counts);

}  // namespace quorvex
