#include "store/store_scan.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "store/store_index.hpp"

namespace quorvex {

namespace {

// Slots are looked at a block at a time as the scan reaches them, so that a
// candidate that changes early spares the rest of the look.
constexpr int32_t kBlock = 256;
constexpr int32_t kBlocks = (kStoreSlots + kBlock - 1) / kBlock;

struct Candidate {
  int64_t positive;
  int64_t negative;
  int64_t largest;
  int32_t termCount;
  BaseMask all;
  BaseMask positiveBases;
  BaseMask negativeBases;
  int32_t extra;
  int32_t extraPositive;
  int32_t extraNegative;
};

struct ScanState {
  StoreQueries queries = StoreQueries::Quick;
  // The candidate's multiplicities by base, 0 elsewhere (cleared at the end).
  int32_t multiplicityOf[kIndexedBaseLimit];
  int32_t bases[kMaxTerms];
  int32_t baseCount;
  Candidate candidate;
  bool counting;  // the candidate is plain and the queries quick
  int64_t below;
  int64_t sizeExcess;  // candidate size - below
  int64_t sideLimit;   // largest m whose table entry was above m
  int32_t from;
  bool looked[kBlocks];
  bool offered[kStoreSlots];
  // The table entries 0..sideLimit when the scan began: slots looked at later
  // are judged as they would have been then.
  int32_t table[kTableSize];
};
ScanState gScan;

// The largest left count m whose table entry is above m, 0 when none is: a
// combination lowers the table only if its smaller side is at most this.
int64_t LoweringSideLimit() {
  const int32_t* table = gBest.BestRightTable;
  constexpr int32_t kStep = 64;
  // Whole steps from the top, each tested with a branch-free loop the compiler
  // can run in vector registers: the table is read at every scan.
  for (int32_t start = kTableSize - kStep; start > -kStep; start -= kStep) {
    const int32_t first = std::max(start, 1);
    if (start >= 1) {
      int32_t over = 0;
      for (int32_t i = 0; i < kStep; ++i) over |= table[start + i] - (start + i) > 0 ? 1 : 0;
      if (over == 0) continue;
    }
    for (int32_t m = start + kStep - 1; m >= first; --m) {
      if (table[m] > m) return m;
    }
  }
  return 0;
}

bool Matters(int64_t left, int64_t right) {
  const ScanState& scan = gScan;
  if (left + right < scan.below) return true;
  const int64_t m = std::min(left, right);
  const int64_t n = std::max(left, right);
  return m >= 1 && m <= scan.sideLimit && n < scan.table[m];
}

// Bases two records share, counted from their bits: at least the true count,
// since bases sharing a bit are made up for by the smaller `extra`.
[[gnu::always_inline]] inline int64_t Shared(const BaseMask& a, int32_t extraA, const BaseMask& b,
                                             int32_t extraB) {
  int64_t count = std::min(extraA, extraB);
  for (int32_t w = 0; w < kMaskWords; ++w) count += __builtin_popcountll(a.word[w] & b.word[w]);
  return count;
}

// Whether a combination that can lose at most `lost` powers on each side
// (`lost` from bases of the kind that cancel, times the smaller of the two
// largest multiplicities) can reach fewer than `below` powers, or bring its
// smaller side down to the table's reach.
[[gnu::always_inline]] inline bool MayMatter(int64_t lost, int64_t size, int64_t left,
                                             int64_t right) {
  const ScanState& scan = gScan;
  return 2 * lost > size + scan.sizeExcess || lost >= std::min(left, right) - scan.sideLimit;
}

// The second look at a slot that passed the first, by sign: a difference loses
// powers only on bases where both records have the same sign, a sum only where
// the signs differ, each base at most the smaller multiplicity on each side.
// Then the exact counts of what may matter.
bool SecondLook(int32_t s, int64_t each) {
  const ScanState& scan = gScan;
  const Candidate& c = scan.candidate;
  const SlotFilter& f = gStoreIndex.filter[s];
  const SlotSigns& g = gStoreIndex.signs[s];
  const int64_t same = Shared(g.positive, g.extraPositive, c.positiveBases, c.extraPositive) +
                       Shared(g.negative, g.extraNegative, c.negativeBases, c.extraNegative);
  const int64_t unlike = Shared(g.positive, g.extraPositive, c.negativeBases, c.extraNegative) +
                         Shared(g.negative, g.extraNegative, c.positiveBases, c.extraPositive);
  if (MayMatter(same * each, f.size, c.positive + g.negativeSum, c.negative + g.positiveSum)) {
    const CombinationCounts counts = CountCombination(s, -1);
    if (Matters(counts.positive, counts.negative)) return true;
  }
  if (MayMatter(unlike * each, f.size, c.positive + g.positiveSum, c.negative + g.negativeSum)) {
    const CombinationCounts counts = CountCombination(s, +1);
    if (Matters(counts.positive, counts.negative)) return true;
  }
  return false;
}

// The first look at every slot of a block: all shared bases at once, against
// bounds of the size and of the smaller side of both the difference and the
// sum. Most slots end here, so it works from copies in registers.
template <int kUnused>
[[gnu::always_inline]] inline void LookAtBlock(int32_t block) {
  ScanState& scan = gScan;
  const Candidate& c = scan.candidate;
  const int32_t first = block * kBlock;
  const int32_t last = std::min(first + kBlock, kStoreSlots);
  const SlotKind* kind = gStoreIndex.kind;
  const SlotFilter* filters = gStoreIndex.filter;
  const BaseMask all = c.all;
  const int32_t extra = c.extra;
  const int64_t largest = c.largest;
  const int64_t sizeExcess = scan.sizeExcess;
  const int64_t sideExcess = std::min(c.positive, c.negative) - scan.sideLimit;
  const bool counting = scan.counting;
  const int32_t from = scan.from;
  for (int32_t s = first; s < last; ++s) {
    bool offer = false;
    if (s >= from && kind[s] != FreeSlot) {
      if (!counting || kind[s] != PlainSlot) {
        offer = true;
      } else {
        const SlotFilter& f = filters[s];
        const int64_t each = std::min<int64_t>(largest, f.largest);
        const int64_t bound = Shared(f.all, f.extra, all, extra) * each;
        offer = (2 * bound > f.size + sizeExcess || bound >= f.smallerSide + sideExcess) &&
                SecondLook(s, each);
      }
    }
    scan.offered[s] = offer;
  }
  scan.looked[block] = true;
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("popcnt")]] void LookWithPopcount(int32_t block) {
  LookAtBlock<0>(block);
}
#endif

void LookPortably(int32_t block) {
  LookAtBlock<1>(block);
}

void Look(int32_t block) {
#if defined(__x86_64__) || defined(__i386__)
  static const bool popcount = __builtin_cpu_supports("popcnt");
  if (popcount) {
    LookWithPopcount(block);
    return;
  }
#endif
  LookPortably(block);
}

}  // namespace

void SetStoreQueries(StoreQueries queries) {
  gScan.queries = queries;
}

StoreQueries GetStoreQueries() {
  return gScan.queries;
}

void BeginScan(const SolutionRecord& candidate, int64_t below, int32_t from) {
  ScanState& scan = gScan;
  Candidate& c = scan.candidate;
  c = Candidate{};
  scan.baseCount = 0;
  scan.counting = scan.queries == StoreQueries::Quick && IsPlainList(candidate);
  scan.below = below;
  scan.from = std::max(from, 0);
  std::fill(scan.looked, scan.looked + kBlocks, false);
  if (!scan.counting) return;
  c.termCount = candidate.termCount;
  int32_t positiveTerms = 0;
  for (int32_t i = 0; i < candidate.termCount; ++i) {
    const Term& t = candidate.terms[i];
    const int64_t x = t.multiplicity;
    AddBase(c.all, t.base);
    if (x > 0) {
      c.positive += x;
      AddBase(c.positiveBases, t.base);
      ++positiveTerms;
    } else {
      c.negative -= x;
      AddBase(c.negativeBases, t.base);
    }
    c.largest = std::max<int64_t>(c.largest, std::llabs(x));
    scan.multiplicityOf[t.base] = t.multiplicity;
    scan.bases[scan.baseCount++] = t.base;
  }
  c.extra = candidate.termCount - BitsSet(c.all);
  c.extraPositive = positiveTerms - BitsSet(c.positiveBases);
  c.extraNegative = candidate.termCount - positiveTerms - BitsSet(c.negativeBases);
  // No overflow: both terms are far inside 64 bits (below may be the largest
  // value, when every combination matters).
  scan.sizeExcess = c.positive + c.negative - below;
  scan.sideLimit = LoweringSideLimit();
  std::memcpy(scan.table, gBest.BestRightTable, sizeof(int32_t) * (scan.sideLimit + 1));
}

bool ScanOffers(int32_t slot) {
  ScanState& scan = gScan;
  if (!scan.looked[slot / kBlock]) Look(slot / kBlock);
  return scan.offered[slot];
}

int32_t NextOffered(int32_t slot) {
  for (int32_t s = std::max(slot, gScan.from); s < kStoreSlots; ++s) {
    if (ScanOffers(s)) return s;
  }
  return kStoreSlots;
}

bool ScanCounts(int32_t slot) {
  return gScan.counting && gStoreIndex.kind[slot] == PlainSlot;
}

CombinationCounts CountCombination(int32_t slot, int32_t sign) {
  const ScanState& scan = gScan;
  const SolutionRecord& stored = gStore.slots[slot];
  CombinationCounts counts{scan.candidate.positive, scan.candidate.negative,
                           scan.candidate.termCount};
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

void EndScan() {
  ScanState& scan = gScan;
  for (int32_t i = 0; i < scan.baseCount; ++i) scan.multiplicityOf[scan.bases[i]] = 0;
  scan.baseCount = 0;
}

bool TooLong(const CombinationCounts& counts) {
  return counts.terms >= kMaxTerms || counts.positive + counts.negative > kMaxPowers;
}

}  // namespace quorvex
