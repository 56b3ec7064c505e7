#include "store/store_index.hpp"

#include <algorithm>
#include <cstdlib>

namespace quorvex {

StoreIndex gStoreIndex;

namespace {

uint32_t Bucket(uint32_t signature) {
  return signature & (kSignatureBuckets - 1);
}

std::vector<BaseEntry>& ListOf(int32_t base) {
  StoreIndex& index = gStoreIndex;
  return base < kDirectBaseLimit ? index.byBase[base] : index.byLargeBase[base];
}

void MarkDenseHolder(DenseHolders& holders, int32_t slot, int32_t multiplicity, bool held) {
  const int32_t sign = multiplicity < 0 ? 1 : 0;
  const int32_t magnitude = std::abs(multiplicity);
  for (int32_t j = 0; j < std::min(magnitude, kDenseLevels); ++j) {
    if (held) {
      AddSlot(holders.atLeast[j][sign], slot);
    } else {
      RemoveSlot(holders.atLeast[j][sign], slot);
    }
    holders.above[j] += held ? 1 : -1;
  }
  if (magnitude > kDenseLevels) holders.beyond += held ? 1 : -1;
}

// After `slot` joined the list of `base`.
void NoteHolderAdded(int32_t base, const std::vector<BaseEntry>& list, int32_t slot,
                     int32_t multiplicity) {
  StoreIndex& index = gStoreIndex;
  auto found = index.dense.find(base);
  if (found != index.dense.end()) {
    MarkDenseHolder(*found->second, slot, multiplicity, true);
  } else if (list.size() >= kDenseFrom) {
    auto holders = std::make_unique<DenseHolders>();
    for (const BaseEntry& entry : list)
      MarkDenseHolder(*holders, entry.slot, entry.multiplicity, true);
    index.dense.emplace(base, std::move(holders));
  }
}

// After `slot` left the list of `base`.
void NoteHolderRemoved(int32_t base, size_t listSize, int32_t slot, int32_t multiplicity) {
  StoreIndex& index = gStoreIndex;
  auto found = index.dense.find(base);
  if (found == index.dense.end()) return;
  if (listSize < kDenseFrom / 2) {
    index.dense.erase(found);
  } else {
    MarkDenseHolder(*found->second, slot, multiplicity, false);
  }
}

}  // namespace

const DenseHolders* DenseHoldersOf(int32_t base) {
  const StoreIndex& index = gStoreIndex;
  auto found = index.dense.find(base);
  return found == index.dense.end() ? nullptr : found->second.get();
}

bool IsPlainList(const SolutionRecord& record) {
  if (record.termCount < 1 || record.termCount > kMaxTerms) return false;
  for (int32_t i = 0; i < record.termCount; ++i) {
    const Term& t = record.terms[i];
    if (t.multiplicity == 0 || t.base < 1) return false;
    if (t.multiplicity > kPlainMultiplicity || t.multiplicity < -kPlainMultiplicity) return false;
    if (i > 0 && !(t.base < record.terms[i - 1].base)) return false;
  }
  return true;
}

const std::vector<BaseEntry>* RecordsWithBase(int32_t base) {
  const StoreIndex& index = gStoreIndex;
  if (base < kDirectBaseLimit) return &index.byBase[base];
  auto found = index.byLargeBase.find(base);
  return found == index.byLargeBase.end() ? nullptr : &found->second;
}

void ResetStoreIndex() {
  StoreIndex& index = gStoreIndex;
  for (int32_t s = 0; s < kStoreSlots; ++s) {
    index.kind[s] = FreeSlot;
    index.filter[s] = SlotFilter{};
    index.signs[s] = SlotSigns{};
    index.sequence[s] = 0;
    index.noteSize[s] = 0;
    index.chainNext[s] = -1;
    index.chainPrev[s] = -1;
    index.chained[s] = false;
  }
  index.occupied = SlotSet{};
  index.unusual = SlotSet{};
  for (DenseHolders& holders : index.holdingSmall) holders = DenseHolders{};
  index.withSides.clear();
  for (std::vector<BaseEntry>& list : index.byBase) list.clear();
  index.byLargeBase.clear();
  index.dense.clear();
  for (int32_t& head : index.bucketHead) head = -1;
  index.bySize.clear();
  index.nextSequence = 0;
}

void IndexSlot(int32_t slot, bool added) {
  StoreIndex& index = gStoreIndex;
  const SolutionRecord& record = gStore.slots[slot];
  if (added) index.sequence[slot] = ++index.nextSequence;
  index.noteSize[slot] = int64_t{record.leftCount} + record.rightCount;
  index.bySize[index.noteSize[slot]].insert({index.sequence[slot], slot});

  const uint32_t bucket = Bucket(record.signature);
  index.chainPrev[slot] = -1;
  index.chainNext[slot] = index.bucketHead[bucket];
  if (index.bucketHead[bucket] >= 0) index.chainPrev[index.bucketHead[bucket]] = slot;
  index.bucketHead[bucket] = slot;
  index.chained[slot] = true;
  index.chainBucket[slot] = bucket;

  AddSlot(index.occupied, slot);
  if (!IsPlainList(record)) {
    index.kind[slot] = UnusualSlot;
    AddSlot(index.unusual, slot);
    return;
  }
  index.kind[slot] = PlainSlot;
  SlotFilter& filter = index.filter[slot];
  SlotSigns& signs = index.signs[slot];
  filter = SlotFilter{};
  signs = SlotSigns{};
  for (int32_t i = 0; i < record.termCount; ++i) {
    const Term& t = record.terms[i];
    if (t.base < kMaskedBaseLimit) {
      AddBase(filter.small, t.base);
      AddBase(t.multiplicity > 0 ? signs.positive : signs.negative, t.base);
      MarkDenseHolder(index.holdingSmall[t.base], slot, t.multiplicity, true);
    } else {
      std::vector<BaseEntry>& list = ListOf(t.base);
      index.listPosition[slot].resize(static_cast<size_t>(record.termCount));
      index.listPosition[slot][static_cast<size_t>(i)] = static_cast<int32_t>(list.size());
      list.push_back({slot, t.multiplicity, i});
      NoteHolderAdded(t.base, list, slot, t.multiplicity);
    }
    if (t.multiplicity > 0) {
      signs.positiveSum += t.multiplicity;
    } else {
      signs.negativeSum -= t.multiplicity;
    }
    filter.largest = std::max(filter.largest, std::abs(t.multiplicity));
  }
  filter.size = signs.positiveSum + signs.negativeSum;
  filter.smallerSide = std::min(signs.positiveSum, signs.negativeSum);
  filter.positive = signs.positiveSum;
  if (filter.smallerSide < kTableSize) {
    ++index.withSides[{filter.smallerSide, signs.positiveSum, signs.negativeSum}];
  }
}

void UnindexSlot(int32_t slot) {
  StoreIndex& index = gStoreIndex;
  if (!index.chained[slot]) return;
  auto size = index.bySize.find(index.noteSize[slot]);
  if (size != index.bySize.end()) {
    size->second.erase({index.sequence[slot], slot});
    if (size->second.empty()) index.bySize.erase(size);
  }
  const int32_t next = index.chainNext[slot];
  const int32_t prev = index.chainPrev[slot];
  if (prev >= 0) {
    index.chainNext[prev] = next;
  } else {
    index.bucketHead[index.chainBucket[slot]] = next;
  }
  if (next >= 0) index.chainPrev[next] = prev;
  index.chained[slot] = false;

  if (index.kind[slot] == PlainSlot) {
    // The Terms are still the indexed ones: the store calls this before it
    // changes the slot.
    const SolutionRecord& record = gStore.slots[slot];
    for (int32_t i = 0; i < record.termCount; ++i) {
      const int32_t base = record.terms[i].base;
      if (base < kMaskedBaseLimit) {
        MarkDenseHolder(index.holdingSmall[base], slot, record.terms[i].multiplicity, false);
        continue;
      }
      std::vector<BaseEntry>& list = ListOf(base);
      const size_t at = static_cast<size_t>(index.listPosition[slot][static_cast<size_t>(i)]);
      const BaseEntry moved = list.back();
      list[at] = moved;
      index.listPosition[moved.slot][static_cast<size_t>(moved.term)] = static_cast<int32_t>(at);
      list.pop_back();
      NoteHolderRemoved(base, list.size(), slot, record.terms[i].multiplicity);
      if (list.empty() && base >= kDirectBaseLimit) index.byLargeBase.erase(base);
    }
    const int32_t smallerSide = index.filter[slot].smallerSide;
    if (smallerSide < kTableSize) {
      const SlotSigns& signs = index.signs[slot];
      auto sides = index.withSides.find({smallerSide, signs.positiveSum, signs.negativeSum});
      if (--sides->second == 0) index.withSides.erase(sides);
    }
  }
  RemoveSlot(index.occupied, slot);
  RemoveSlot(index.unusual, slot);
  index.kind[slot] = FreeSlot;
}

}  // namespace quorvex
