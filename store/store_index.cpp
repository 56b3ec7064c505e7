#include "store/store_index.hpp"

#include <algorithm>
#include <cstdlib>

namespace quorvex {

StoreIndex gStoreIndex;

namespace {

constexpr int32_t kMultiplicityLimit = int32_t{1} << 30;

uint32_t Bucket(uint32_t signature) {
  return signature & (kSignatureBuckets - 1);
}

// A slot's filter with no bits, for a free slot or an unusual record.
void SetFilter(int32_t slot, int32_t size) {
  StoreIndex& index = gStoreIndex;
  index.filter[slot] = SlotFilter{{0, 0}, size, size, 0, 0};
  index.lowPositive[slot][0] = 0;
  index.lowPositive[slot][1] = 0;
}

}  // namespace

bool IsPlainList(const SolutionRecord& record) {
  if (record.termCount < 1 || record.termCount > kMaxTerms) return false;
  for (int32_t i = 0; i < record.termCount; ++i) {
    const Term& t = record.terms[i];
    if (t.multiplicity == 0 || t.multiplicity >= kMultiplicityLimit ||
        t.multiplicity <= -kMultiplicityLimit) {
      return false;
    }
    if (i > 0 && !(t.base < record.terms[i - 1].base)) return false;
  }
  return true;
}

void ResetStoreIndex() {
  StoreIndex& index = gStoreIndex;
  for (int32_t s = 0; s < kStoreSlots; ++s) {
    index.scanSize[s] = kFreeScanSize;
    index.positive[s] = 0;
    index.negative[s] = 0;
    index.plain[s] = false;
    index.indexedTerms[s] = 0;
    SetFilter(s, kFreeScanSize);
    index.sequence[s] = 0;
    index.noteSize[s] = 0;
    index.chainNext[s] = -1;
    index.chainPrev[s] = -1;
    index.chained[s] = false;
  }
  for (int32_t& head : index.bucketHead) head = -1;
  for (std::vector<BaseEntry>& entries : index.byBase) entries.clear();
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

  bool plain = IsPlainList(record);
  for (int32_t i = 0; plain && i < record.termCount; ++i) {
    if (record.terms[i].base < 1 || record.terms[i].base >= kIndexedBaseLimit) plain = false;
  }
  int64_t size = 0;
  if (plain) {
    for (int32_t i = 0; i < record.termCount; ++i) size += std::llabs(record.terms[i].multiplicity);
    plain = size < kLargestIndexedSize;
  }
  index.plain[slot] = plain;
  index.indexedTerms[slot] = 0;
  SetFilter(slot, kUnusualScanSize);
  if (!plain) {
    index.scanSize[slot] = kUnusualScanSize;
    return;
  }
  index.scanSize[slot] = static_cast<int32_t>(size);
  int64_t positive = 0;
  for (int32_t i = 0; i < record.termCount; ++i) {
    if (record.terms[i].multiplicity > 0) positive += record.terms[i].multiplicity;
  }
  index.positive[slot] = static_cast<int32_t>(positive);
  index.negative[slot] = static_cast<int32_t>(size - positive);
  int32_t largest = 0;
  for (int32_t i = 0; i < record.termCount; ++i) {
    const int32_t base = record.terms[i].base;
    index.byBase[base].push_back({slot, record.terms[i].multiplicity});
    largest = std::max(largest, std::abs(record.terms[i].multiplicity));
    if (base < kMaskedBaseLimit) {
      index.filter[slot].low[base >> 6] |= uint64_t{1} << (base & 63);
      if (record.terms[i].multiplicity > 0) {
        index.lowPositive[slot][base >> 6] |= uint64_t{1} << (base & 63);
      }
    }
  }
  index.filter[slot].size = index.scanSize[slot];
  index.filter[slot].smallerSide = std::min(index.positive[slot], index.negative[slot]);
  index.filter[slot].largest = largest;
  index.indexedTerms[slot] = record.termCount;
}

void UnindexSlot(int32_t slot) {
  StoreIndex& index = gStoreIndex;
  const SolutionRecord& record = gStore.slots[slot];
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
  // The Terms are still the indexed ones: the store calls this before it
  // changes the slot.
  for (int32_t i = 0; i < index.indexedTerms[slot]; ++i) {
    std::vector<BaseEntry>& entries = index.byBase[record.terms[i].base];
    for (size_t e = 0; e < entries.size(); ++e) {
      if (entries[e].slot == slot) {
        entries[e] = entries.back();
        entries.pop_back();
        break;
      }
    }
  }
  index.indexedTerms[slot] = 0;
  SetFilter(slot, kFreeScanSize);
  index.plain[slot] = false;
  index.scanSize[slot] = kFreeScanSize;
  index.positive[slot] = 0;
  index.negative[slot] = 0;
}

}  // namespace quorvex
