#include "store/store_index.hpp"

#include <algorithm>
#include <cstdlib>

namespace quorvex {

StoreIndex gStoreIndex;

namespace {

uint32_t Bucket(uint32_t signature) {
  return signature & (kSignatureBuckets - 1);
}

}  // namespace

bool IsPlainList(const SolutionRecord& record) {
  if (record.termCount < 1 || record.termCount > kMaxTerms) return false;
  for (int32_t i = 0; i < record.termCount; ++i) {
    const Term& t = record.terms[i];
    if (t.multiplicity == 0 || t.base < 1 || t.base >= kIndexedBaseLimit) return false;
    if (i > 0 && !(t.base < record.terms[i - 1].base)) return false;
  }
  return true;
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

  index.kind[slot] = IsPlainList(record) ? PlainSlot : UnusualSlot;
  if (index.kind[slot] != PlainSlot) return;
  SlotFilter& filter = index.filter[slot];
  SlotSigns& signs = index.signs[slot];
  filter = SlotFilter{};
  signs = SlotSigns{};
  int32_t positiveTerms = 0;
  for (int32_t i = 0; i < record.termCount; ++i) {
    const Term& t = record.terms[i];
    AddBase(filter.all, t.base);
    if (t.multiplicity > 0) {
      AddBase(signs.positive, t.base);
      signs.positiveSum += t.multiplicity;
      ++positiveTerms;
    } else {
      AddBase(signs.negative, t.base);
      signs.negativeSum -= t.multiplicity;
    }
    filter.largest = std::max(filter.largest, std::abs(t.multiplicity));
  }
  filter.size = signs.positiveSum + signs.negativeSum;
  filter.smallerSide = std::min(signs.positiveSum, signs.negativeSum);
  filter.extra = record.termCount - BitsSet(filter.all);
  signs.extraPositive = positiveTerms - BitsSet(signs.positive);
  signs.extraNegative = record.termCount - positiveTerms - BitsSet(signs.negative);
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
  index.kind[slot] = FreeSlot;
}

}  // namespace quorvex
