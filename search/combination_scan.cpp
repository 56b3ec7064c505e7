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

// The largest left count m whose table entry is above m, 0 when none is: a
// combination lowers the table only if its smaller side is at most this.
int64_t LoweringSideLimit() {
  const int32_t* table = gBest.BestRightTable;
  constexpr int32_t kBlock = 64;
  // Whole blocks from the top, each tested with a branch-free loop the
  // compiler can run in vector registers; the table is read for every load.
  for (int32_t start = kTableSize - kBlock; start > -kBlock; start -= kBlock) {
    const int32_t first = std::max(start, 1);
    if (start >= 1) {
      int32_t over = 0;
      for (int32_t i = 0; i < kBlock; ++i) over |= table[start + i] - (start + i) > 0 ? 1 : 0;
      if (over == 0) continue;
    }
    for (int32_t m = start + kBlock - 1; m >= first; --m) {
      if (table[m] > m) return m;
    }
  }
  return 0;
}

// Which slots are counted exactly. A difference loses powers only on bases
// where both records have the same sign, a sum only where the signs differ,
// and on each such base at most the smaller multiplicity on each side; so
// with L = (bases of that kind) * (smaller of the two largest
// multiplicities), the size drops below `below` only if 2L > P + S - below,
// and a side reaches the table only if L >= (that side before) - sideLimit.
// The first test takes all shared bases; the sign-wise one follows for the
// few slots that pass it. Bases from kMaskedBaseLimit on carry no sign here
// and count for both. sizeExcess is P - below, capped at 2^29.
struct SparseBounds {
  uint64_t low[2];
  uint64_t positive[2];
  int64_t p;
  int64_t q;
  int64_t largest;
  int64_t sizeExcess;
  int64_t sideLimit;
};

[[gnu::always_inline]] inline bool Reaches(int64_t lost, int64_t stored, int64_t left,
                                           int64_t right, const SparseBounds& b) {
  return 2 * lost > stored + b.sizeExcess || lost >= std::min(left, right) - b.sideLimit;
}

template <bool kHigh>
[[gnu::always_inline]] inline void CollectSlots(const SparseBounds& b, int32_t from, int32_t to) {
  CombinationScan& scan = gScan;
  const StoreIndex& index = gStoreIndex;
  int32_t* list = scan.flaggedSlots;
  int32_t count = scan.flaggedCount;
  const int64_t sideExcess = std::min(b.p, b.q) - b.sideLimit;
  const uint64_t negative0 = b.low[0] & ~b.positive[0];
  const uint64_t negative1 = b.low[1] & ~b.positive[1];
  for (int32_t s = from; s < to; ++s) {
    const SlotFilter& f = index.filter[s];
    const int64_t high = kHigh ? scan.sharedHighBases[s] : 0;
    const int64_t shared = __builtin_popcountll(f.low[0] & b.low[0]) +
                           __builtin_popcountll(f.low[1] & b.low[1]) + high;
    const int64_t each = std::min<int64_t>(b.largest, f.largest);
    const int64_t bound = shared * each;
    // Unusual records always pass (no bits, a size far below anything, and
    // sizeExcess capped); free slots only for a `below` far beyond the
    // candidate's size, and the exact test drops them.
    if (2 * bound <= f.size + b.sizeExcess && bound < f.smallerSide + sideExcess) continue;
    const uint64_t* pos = index.lowPositive[s];
    const uint64_t neg0 = f.low[0] & ~pos[0];
    const uint64_t neg1 = f.low[1] & ~pos[1];
    const int64_t same = __builtin_popcountll(pos[0] & b.positive[0]) +
                         __builtin_popcountll(pos[1] & b.positive[1]) +
                         __builtin_popcountll(neg0 & negative0) +
                         __builtin_popcountll(neg1 & negative1) + high;
    const int64_t unlike = shared - same + high;
    const int64_t ps = index.positive[s];
    const int64_t qs = index.negative[s];
    const bool difference = Reaches(same * each, f.size, b.p + qs, b.q + ps, b);
    const bool sum = Reaches(unlike * each, f.size, b.p + ps, b.q + qs, b);
    if (difference || sum) {
      scan.exactSigns[count] = static_cast<uint8_t>((difference ? 1 : 0) | (sum ? 2 : 0));
      list[count++] = s;
    }
  }
  scan.flaggedCount = count;
}

[[gnu::always_inline]] inline void CollectAll(const SparseBounds& b, int32_t from, int32_t to) {
  if (gScan.touchedCount > 0) {
    CollectSlots<true>(b, from, to);
  } else {
    CollectSlots<false>(b, from, to);
  }
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("popcnt")]] void CollectSlotsCounting(const SparseBounds& b, int32_t from,
                                                    int32_t to) {
  CollectAll(b, from, to);
}
#endif

void CollectSlotsPortable(const SparseBounds& b, int32_t from, int32_t to) {
  CollectAll(b, from, to);
}

}  // namespace

namespace {

constexpr int32_t kLookStep = 512;

// Matters as it was when the candidate was loaded: a side m beyond sideLimit
// had a table entry of at most m then, which no n >= m is below.
bool MattersAtLoad(int64_t left, int64_t right) {
  const CombinationScan& scan = gScan;
  if (left + right < scan.below) return true;
  const int64_t m = std::min(left, right);
  const int64_t n = std::max(left, right);
  if (m < 1 || m > scan.sideLimit) return false;
  const int32_t entry =
      scan.sideLimit < kLazyTableEntries ? scan.tableAtLoad[m] : gBest.BestRightTable[m];
  return n < entry;
}

// Looks at slots from..to-1 and appends those flagged to the list.
void LookAt(int32_t from, int32_t to) {
  CombinationScan& scan = gScan;
  const SparseBounds bounds{{scan.lowBits[0], scan.lowBits[1]},
                            {scan.lowPositive[0], scan.lowPositive[1]},
                            scan.positive,
                            scan.negative,
                            scan.largest,
                            scan.sizeExcess,
                            scan.sideLimit};
  const int32_t first = scan.flaggedCount;
#if defined(__x86_64__) || defined(__i386__)
  static const bool counting = __builtin_cpu_supports("popcnt");
  if (counting) {
    CollectSlotsCounting(bounds, from, to);
  } else {
    CollectSlotsPortable(bounds, from, to);
  }
#else
  CollectSlotsPortable(bounds, from, to);
#endif
  // The exact test, in place: the list stays in slot order.
  int32_t kept = first;
  for (int32_t i = first; i < scan.flaggedCount; ++i) {
    const int32_t s = scan.flaggedSlots[i];
    const uint8_t signs = scan.exactSigns[i];
    if (gStore.slots[s].termCount == 0) continue;
    bool flag = !gStoreIndex.plain[s];
    if (!flag && (signs & 1) != 0) {
      const CombinationCounts counts = CountCombination(s, -1);
      flag = MattersAtLoad(counts.positive, counts.negative);
    }
    if (!flag && (signs & 2) != 0) {
      const CombinationCounts counts = CountCombination(s, +1);
      flag = MattersAtLoad(counts.positive, counts.negative);
    }
    if (flag) scan.flaggedSlots[kept++] = s;
  }
  scan.flaggedCount = kept;
  scan.lookedTo = to;
}

}  // namespace

bool LoadCandidateSparse(const SolutionRecord& candidate, int64_t below, int32_t from) {
  CombinationScan& scan = gScan;
  if (!IsPlainList(candidate)) return false;
  scan.positive = 0;
  scan.negative = 0;
  scan.termCount = candidate.termCount;
  scan.loadedCount = 0;
  scan.touchedCount = 0;
  scan.lowBits[0] = scan.lowBits[1] = 0;
  scan.lowPositive[0] = scan.lowPositive[1] = 0;
  scan.largest = 0;
  for (int32_t i = 0; i < candidate.termCount; ++i) {
    const Term& t = candidate.terms[i];
    const int64_t x = t.multiplicity;
    if (x > 0) {
      scan.positive += x;
    } else {
      scan.negative -= x;
    }
    scan.largest = std::max<int64_t>(scan.largest, std::llabs(x));
    if (t.base < 1 || t.base >= kIndexedBaseLimit) continue;  // in no plain record
    scan.multiplicityOf[t.base] = t.multiplicity;
    scan.loadedBases[scan.loadedCount++] = t.base;
    if (t.base < kMaskedBaseLimit) {
      scan.lowBits[t.base >> 6] |= uint64_t{1} << (t.base & 63);
      if (x > 0) scan.lowPositive[t.base >> 6] |= uint64_t{1} << (t.base & 63);
      continue;
    }
    for (const BaseEntry& entry : gStoreIndex.byBase[t.base]) {
      if (scan.sharedHighBases[entry.slot]++ == 0) {
        scan.touchedSlots[scan.touchedCount++] = entry.slot;
      }
    }
  }
  scan.below = below;
  // Capped so that an unusual record's size stays below any bound; a smaller
  // excess only lets more slots through to the exact test.
  scan.sizeExcess = std::min<int64_t>(scan.positive + scan.negative - below, int64_t{1} << 29);
  scan.sideLimit = LoweringSideLimit();
  scan.flaggedCount = 0;
  scan.flaggedRead = 0;
  scan.lookedTo = std::max(from, 0);
  scan.sparse = true;
  scan.loaded = true;
  if (scan.sideLimit < kLazyTableEntries) {
    std::copy(gBest.BestRightTable, gBest.BestRightTable + scan.sideLimit + 1, scan.tableAtLoad);
  } else {
    LookAt(scan.lookedTo, kStoreSlots);  // the table is too long to keep: look at all now
  }
  return true;
}

int32_t NextFlaggedSlot(int32_t slot) {
  CombinationScan& scan = gScan;
  for (;;) {
    while (scan.flaggedRead < scan.flaggedCount && scan.flaggedSlots[scan.flaggedRead] < slot) {
      ++scan.flaggedRead;
    }
    if (scan.flaggedRead < scan.flaggedCount) return scan.flaggedSlots[scan.flaggedRead];
    if (scan.lookedTo >= kStoreSlots) return kStoreSlots;
    const int32_t from = std::max(scan.lookedTo, slot);
    LookAt(from, std::min(from + kLookStep, kStoreSlots));
  }
}

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
  if (scan.sparse) {
    for (int32_t i = 0; i < scan.loadedCount; ++i) scan.multiplicityOf[scan.loadedBases[i]] = 0;
    for (int32_t i = 0; i < scan.touchedCount; ++i) scan.sharedHighBases[scan.touchedSlots[i]] = 0;
    scan.touchedCount = 0;
    scan.sparse = false;
    scan.loaded = false;
    return;
  }
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
  return counts.terms >= kMaxTerms || counts.positive + counts.negative > kMaxPowers;
}

}  // namespace quorvex
