#pragma once

// The store's index, private to the store: what it keeps beside its slots so
// that the duplicate check, the eviction and the scans for a candidate need
// not walk every record. Kept up to date by AddRecord, RemoveRecord,
// ReplaceRecord and ResetStore.
#include <cstdint>
#include <map>
#include <set>
#include <utility>

#include "store/solution_store.hpp"

namespace quorvex {

// Bases below this have a place in a candidate's table of multiplicities; a
// search never uses larger ones (MaxBase is at most 10000), only records read
// from files might.
constexpr int32_t kIndexedBaseLimit = 16384;
constexpr int32_t kSignatureBuckets = 16384;
// Sizes m + n from this on make equal notes possible between different sizes,
// so the eviction falls back to walking the in-use list.
constexpr int64_t kLargestIndexedSize = int64_t{1} << 22;

// A record's bases as bits: bases below 256 on their own bit, larger ones on a
// bit chosen by a hash. Two bases may share a bit; `extra` in the structures
// below counts a record's bases beyond its bits set, so that what two records
// share is still bounded from above.
constexpr int32_t kMaskWords = 4;
struct BaseMask {
  uint64_t word[kMaskWords];
};

// The first look at a slot, packed together: the bits of its bases, its size
// m + n, its smaller side, its largest multiplicity in magnitude.
struct SlotFilter {
  BaseMask all;
  int32_t size;
  int32_t smallerSide;
  int32_t largest;
  int32_t extra;
};

// The second look, for the few slots that pass the first: bases by sign.
struct SlotSigns {
  BaseMask positive;
  BaseMask negative;
  int32_t positiveSum;
  int32_t negativeSum;
  int32_t extraPositive;
  int32_t extraNegative;
};

// Plain: bases strictly descending and all in 1..kIndexedBaseLimit-1. Only
// plain records are counted from the candidate's table of multiplicities; the
// others (read from files only) are always merged in full.
enum SlotKind : uint8_t { FreeSlot = 0, PlainSlot = 1, UnusualSlot = 2 };

struct StoreIndex {
  // Kept here so that a scan never touches the records themselves, which lie
  // far apart in memory.
  SlotKind kind[kStoreSlots];
  SlotFilter filter[kStoreSlots];
  SlotSigns signs[kStoreSlots];
  uint64_t sequence[kStoreSlots];  // order of addition: newest is largest
  int64_t noteSize[kStoreSlots];   // leftCount + rightCount
  int32_t bucketHead[kSignatureBuckets];
  int32_t chainNext[kStoreSlots];
  int32_t chainPrev[kStoreSlots];
  bool chained[kStoreSlots];
  uint32_t chainBucket[kStoreSlots];
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
// Strictly descending bases in 1..kIndexedBaseLimit-1.
bool IsPlainList(const SolutionRecord& record);

inline void AddBase(BaseMask& mask, int32_t base) {
  // Fibonacci hashing spreads the larger bases, whose families are often all
  // multiples of one number, over the bits.
  const uint32_t bit = base >= 0 && base < 64 * kMaskWords
                           ? static_cast<uint32_t>(base)
                           : (static_cast<uint32_t>(base) * 2654435769u) >> 24;
  mask.word[bit >> 6] |= uint64_t{1} << (bit & 63);
}

inline int32_t BitsSet(const BaseMask& mask) {
  int32_t count = 0;
  for (uint64_t word : mask.word) count += __builtin_popcountll(word);
  return count;
}

}  // namespace quorvex
