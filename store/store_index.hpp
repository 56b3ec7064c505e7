#pragma once

// The store's index, private to the store: what it keeps beside its slots so
// that the duplicate check, the eviction and the scans for a candidate need
// not walk every record. Kept up to date by AddRecord, RemoveRecord,
// ReplaceRecord and ResetStore.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"

namespace quorvex {

constexpr int32_t kSignatureBuckets = 16384;
// Sizes m + n from this on make equal notes possible between different sizes,
// so the eviction falls back to walking the in-use list.
constexpr int64_t kLargestIndexedSize = int64_t{1} << 22;

// Small bases, which most records of a search share, are kept as bits, one
// per base; larger ones, each held by comparatively few records, in lists of
// the records that hold them.
constexpr int32_t kMaskWords = 4;
constexpr int32_t kMaskedBaseLimit = 64 * kMaskWords;
// Bases below this have their list in an array; larger ones (which only
// records read from files have) are found through a hash map.
constexpr int32_t kDirectBaseLimit = 16384;

struct BaseMask {
  uint64_t word[kMaskWords];
};

// A set of slots, one bit each.
constexpr int32_t kSlotWords = (kStoreSlots + 63) / 64;
struct SlotSet {
  uint64_t word[kSlotWords];
};

inline void AddSlot(SlotSet& set, int32_t slot) {
  set.word[slot >> 6] |= uint64_t{1} << (slot & 63);
}
inline void RemoveSlot(SlotSet& set, int32_t slot) {
  set.word[slot >> 6] &= ~(uint64_t{1} << (slot & 63));
}

inline void AddBase(BaseMask& mask, int32_t base) {
  mask.word[base >> 6] |= uint64_t{1} << (base & 63);
}

// Plain: bases strictly descending, as every record the search makes, and
// multiplicities small enough that the counts of a scan fit 32 bits. Only
// plain records are counted; the others (a base repeated in a line of a file,
// a multiplicity in the millions) are always merged in full.
enum SlotKind : uint8_t { FreeSlot = 0, PlainSlot = 1, UnusualSlot = 2 };

// The first look at a slot, packed together: its small bases, its size m + n,
// its smaller side, its largest multiplicity in magnitude, the powers of its
// positive side.
struct SlotFilter {
  BaseMask small;
  int32_t size;
  int32_t smallerSide;
  int32_t largest;
  int32_t positive;
};

// The sides of a plain record, smaller side first so that the records within
// a table's reach come first.
struct PlainSides {
  int32_t smaller;
  int32_t positive;
  int32_t negative;
  auto operator<=>(const PlainSides&) const = default;
};

// The second look, for the few slots that pass the first: small bases by sign.
struct SlotSigns {
  BaseMask positive;
  BaseMask negative;
  int32_t positiveSum;
  int32_t negativeSum;
};

struct BaseEntry {
  int32_t slot;
  int32_t multiplicity;
  int32_t term;  // the Term of the slot's record it stands for
};

// Small bases, and larger ones held by many plain records (from kDenseFrom
// holders on, until fewer than half as many are left), keep their holders as
// slot sets, by sign and by multiplicity: a scan adds those up 64 holders at
// a time instead of walking list entries, which in a store of related
// identities is most of its work.
constexpr int32_t kDenseLevels = 4;
constexpr size_t kDenseFrom = 256;
struct DenseHolders {
  // [j][0]: the holders with a multiplicity above j; [j][1]: below -j.
  SlotSet atLeast[kDenseLevels][2];
  int32_t above[kDenseLevels];  // how many hold it with a multiplicity above j in magnitude
  int32_t beyond;               // holders with a multiplicity beyond kDenseLevels in magnitude
};

struct StoreIndex {
  // Kept here so that a scan never touches the records themselves, which lie
  // far apart in memory.
  SlotKind kind[kStoreSlots];
  SlotSet occupied;
  SlotSet unusual;
  // The plain records holding each small base: a record that holds none of
  // the candidate's bases is rarely worth a look, and these find the others.
  DenseHolders holdingSmall[kMaskedBaseLimit];
  // How many plain records have each pair of sides, for smaller sides below
  // kTableSize: whether a record that shares no base with a candidate may
  // combine with it to any effect depends on its sides alone.
  std::map<PlainSides, int32_t> withSides;
  SlotFilter filter[kStoreSlots];
  SlotSigns signs[kStoreSlots];
  // The plain records holding each base from kMaskedBaseLimit on, and where
  // in those lists each Term of a slot's record stands: a record leaves its
  // lists at once, however long they are.
  std::vector<BaseEntry> byBase[kDirectBaseLimit];
  std::unordered_map<int32_t, std::vector<BaseEntry>> byLargeBase;
  std::vector<int32_t> listPosition[kStoreSlots];
  std::unordered_map<int32_t, std::unique_ptr<DenseHolders>> dense;
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
// Strictly descending bases, all at least 1, no multiplicity 0, every
// multiplicity within kPlainMultiplicity in magnitude: a sum over the 200
// Terms of a record stays far below 2^31.
constexpr int32_t kPlainMultiplicity = 1 << 20;
bool IsPlainList(const SolutionRecord& record);
// The plain records holding `base` (from kMaskedBaseLimit on), or null.
const std::vector<BaseEntry>* RecordsWithBase(int32_t base);
// The holders of `base` as slot sets, or null while it has few.
const DenseHolders* DenseHoldersOf(int32_t base);

}  // namespace quorvex
