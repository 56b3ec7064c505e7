#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "store/solution_store.hpp"

namespace quorvex {

// Bases below this are indexed; a search never uses larger ones (MaxBase is
// at most 10000), only records read from files might.
constexpr int32_t kIndexedBaseLimit = 16384;
constexpr int32_t kSignatureBuckets = 16384;
// Sizes m + n from this on make equal notes possible between different sizes,
// so the eviction falls back to walking the in-use list.
constexpr int64_t kLargestIndexedSize = int64_t{1} << 22;
// Scan sizes of free slots and of records the index cannot describe.
constexpr int32_t kFreeScanSize = int32_t{1} << 30;
constexpr int32_t kUnusualScanSize = -(int32_t{1} << 30);
// Bases below this are also kept as a bit set per slot, so that the number of
// bases a record shares with a candidate costs two AND and two bit counts.
constexpr int32_t kMaskedBaseLimit = 128;

// What a quick look at a slot needs, packed together: for a plain record its
// bases below kMaskedBaseLimit as bits, its size m + n, its smaller side sum
// and its largest multiplicity in magnitude. A free slot has no bits, size
// and smaller side kFreeScanSize; a record that is not plain has no bits and
// size and smaller side kUnusualScanSize.
struct SlotFilter {
  uint64_t low[2];
  int32_t size;
  int32_t smallerSide;
  int32_t largest;
  int32_t reserved;
};

struct BaseEntry {
  int32_t slot;
  int32_t multiplicity;
};

// What the store keeps beside its slots so that the duplicate check, the
// eviction and the combinations with a candidate need not walk every record.
// Kept up to date by AddRecord, RemoveRecord, ReplaceRecord and ResetStore.
struct StoreIndex {
  // m + n of the slot's record taken from its Terms; kFreeScanSize for a free
  // slot, kUnusualScanSize for a record that is not plain (below).
  int32_t scanSize[kStoreSlots];
  // The two side sums of a plain record (0 for any other slot).
  int32_t positive[kStoreSlots];
  int32_t negative[kStoreSlots];
  // Plain: bases strictly descending, all in 1..kIndexedBaseLimit-1, and
  // every multiplicity below 2^30 in magnitude, so merges never overflow.
  bool plain[kStoreSlots];
  int32_t indexedTerms[kStoreSlots];  // Terms put in the base lists (0: none)
  SlotFilter filter[kStoreSlots];
  uint64_t lowPositive[kStoreSlots][2];  // the filter's low bases on the positive side
  uint64_t sequence[kStoreSlots];        // order of addition: newest is largest
  int64_t noteSize[kStoreSlots];         // leftCount + rightCount
  int32_t bucketHead[kSignatureBuckets];
  int32_t chainNext[kStoreSlots];
  int32_t chainPrev[kStoreSlots];
  bool chained[kStoreSlots];
  uint32_t chainBucket[kStoreSlots];
  std::vector<BaseEntry> byBase[kIndexedBaseLimit];
  // m + n -> (sequence, slot) of the records of that size.
  std::map<int64_t, std::set<std::pair<uint64_t, int32_t>>> bySize;
  uint64_t nextSequence;
};
extern StoreIndex gStoreIndex;

void ResetStoreIndex();
// After a slot received a record; `added` gives it a new place at the head of
// the in-use list.
void IndexSlot(int32_t slot, bool added);
// Before a slot loses its record.
void UnindexSlot(int32_t slot);
// True when the record's bases are strictly descending and its
// multiplicities below 2^30: its merges with plain records cannot overflow.
bool IsPlainList(const SolutionRecord& record);

}  // namespace quorvex
