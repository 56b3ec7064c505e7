#include "search/combination_scan.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "store/best_right_table.hpp"

namespace quorvex {

CombinationScan gScan;

namespace {

int64_t Positive(int64_t v) {
  return v > 0 ? v : 0;
}

int64_t Negative(int64_t v) {
  return v < 0 ? -v : 0;
}

// Whether a combination with these side sums is looked at: fewer powers than
// `below` (an empty one included), or lowering the table.
bool Matters(int64_t left, int64_t right, int64_t below) {
  if (left + right < below) return true;
  const int64_t m = left < right ? left : right;
  const int64_t n = left < right ? right : left;
  return m >= 1 && m < kTableSize && n < gBest.BestRightTable[m];
}

}  // namespace

bool LoadCandidate(const SolutionRecord& candidate, int64_t below) {
  CombinationScan& scan = gScan;
  if (!IsPlainList(candidate)) return false;
  scan.positive = 0;
  scan.negative = 0;
  scan.termCount = candidate.termCount;
  scan.loadedCount = 0;
  for (int32_t i = 0; i < candidate.termCount; ++i) {
    const Term& t = candidate.terms[i];
    if (t.multiplicity > 0) {
      scan.positive += t.multiplicity;
    } else {
      scan.negative -= t.multiplicity;
    }
    if (t.base < 1 || t.base >= kIndexedBaseLimit) continue;  // in no plain record
    scan.multiplicityOf[t.base] = t.multiplicity;
    scan.loadedBases[scan.loadedCount++] = t.base;
    const int64_t x = t.multiplicity;
    for (const BaseEntry& entry : gStoreIndex.byBase[t.base]) {
      const int64_t mu = entry.multiplicity;
      const int32_t s = entry.slot;
      const int64_t left = Positive(x);
      const int64_t right = Negative(x);
      scan.differenceLostLeft[s] += static_cast<int32_t>(left + Negative(mu) - Positive(x - mu));
      scan.differenceLostRight[s] += static_cast<int32_t>(right + Positive(mu) - Negative(x - mu));
      scan.sumLostLeft[s] += static_cast<int32_t>(left + Positive(mu) - Positive(x + mu));
      scan.sumLostRight[s] += static_cast<int32_t>(right + Negative(mu) - Negative(x + mu));
    }
  }
  const StoreIndex& index = gStoreIndex;
  const int64_t p = scan.positive;
  const int64_t q = scan.negative;
  for (int32_t s = 0; s < kStoreSlots; ++s) {
    if (!index.plain[s]) {
      scan.flagged[s] = true;
      continue;
    }
    const int64_t ps = index.positive[s];
    const int64_t qs = index.negative[s];
    scan.flagged[s] =
        Matters(p + qs - scan.differenceLostLeft[s], q + ps - scan.differenceLostRight[s], below) ||
        Matters(p + ps - scan.sumLostLeft[s], q + qs - scan.sumLostRight[s], below);
  }
  scan.loaded = true;
  return true;
}

void UnloadCandidate() {
  CombinationScan& scan = gScan;
  if (!scan.loaded) return;
  for (int32_t i = 0; i < scan.loadedCount; ++i) {
    const int32_t base = scan.loadedBases[i];
    scan.multiplicityOf[base] = 0;
    for (const BaseEntry& entry : gStoreIndex.byBase[base]) {
      scan.differenceLostLeft[entry.slot] = 0;
      scan.differenceLostRight[entry.slot] = 0;
      scan.sumLostLeft[entry.slot] = 0;
      scan.sumLostRight[entry.slot] = 0;
    }
  }
  scan.loaded = false;
}

CombinationCounts CountCombination(int32_t slot, int32_t sign) {
  const CombinationScan& scan = gScan;
  const SolutionRecord& stored = gStore.slots[slot];
  CombinationCounts counts{scan.positive, scan.negative, scan.termCount};
  for (int32_t i = 0; i < stored.termCount; ++i) {
    const int64_t mu = static_cast<int64_t>(sign) * stored.terms[i].multiplicity;
    const int64_t x = scan.multiplicityOf[stored.terms[i].base];
    if (x > 0) {
      counts.positive -= x;
    } else {
      counts.negative += x;
    }
    const int64_t v = x + mu;
    if (v > 0) {
      counts.positive += v;
    } else {
      counts.negative -= v;
    }
    counts.terms += (v != 0) - (x != 0);
  }
  return counts;
}

bool TooLong(const CombinationCounts& counts) {
  return counts.terms >= kMaxTerms ||
         counts.positive + counts.negative > std::numeric_limits<int32_t>::max();
}

}  // namespace quorvex
