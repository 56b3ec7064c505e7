#include "store/store_scan.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "store/store_index.hpp"

namespace quorvex {

namespace {

// Slots are looked at a block at a time as the scan reaches them, so that a
// candidate that changes early spares the rest of the look.
constexpr int32_t kBlock = 256;
constexpr int32_t kBlocks = (kStoreSlots + kBlock - 1) / kBlock;
// Room for the candidate's bases from kDirectBaseLimit on, at most half full.
constexpr int32_t kLargeSlots = 512;
// Holder sets a scan adds up: one per level of multiplicity for each of the
// candidate's bases, so that a count, at most this, fits in kPlanes bit
// planes.
constexpr int32_t kDenseSets = kDenseLevels * kMaxTerms;
constexpr int32_t kPlanes = std::bit_width(static_cast<uint32_t>(kDenseSets));
// Slots of a word looked at from which the counts of the whole word are read
// at once.
constexpr int32_t kWholeWordFrom = 12;
// Pairs of sides looked at for the records a candidate shares no base with;
// beyond this many, all of those records are looked at one by one instead.
constexpr int32_t kSidePairsLooked = 256;
// Pairs of sides, smallest first, whose combinations with the candidate give
// the fewest powers any slot must lose; the rest are bounded all together.
constexpr int32_t kSidePairsBounded = 64;

struct Candidate {
  int64_t positive;
  int64_t negative;
  int64_t largest;
  int32_t termCount;
  int32_t maskWords;  // the words of `small` up to its last base
  bool anyLarge;      // a base from kMaskedBaseLimit on, so slots may have losses
  BaseMask small;
  BaseMask positiveSmall;
  BaseMask negativeSmall;
};

// What a stored record loses with the candidate on the bases both hold from
// kMaskedBaseLimit on (and on the small ones too when the scan is exact),
// counted exactly from the lists and the bit planes: each side of the
// difference loses the same powers (on bases of the same sign in both), and
// each side of the sum (on bases of opposite signs).
struct LargeLoss {
  int32_t inDifference;
  int32_t inSum;
};

// A slot's loss, which belongs to the scan whose stamp it bears: kept
// together, so that a holder costs one place in memory, not three.
struct StampedLoss {
  uint32_t stamp;
  LargeLoss loss;
};

struct ScanState {
  StoreQueries queries = StoreQueries::Quick;
  bool counting;  // the candidate is plain and the queries quick
  // Every small base of the candidate is counted in the bit planes with the
  // dense ones, so that every loss is known exactly: no bounds, no counts of
  // the records themselves.
  bool exact;
  Candidate candidate;
  // The candidate's multiplicities by base, 0 elsewhere: directly below
  // kDirectBaseLimit, by open addressing above (cleared when the scan ends).
  int32_t multiplicityOf[kDirectBaseLimit];
  Term large[kLargeSlots];
  int32_t bases[kMaxTerms];
  int32_t baseCount;
  StampedLoss loss[kStoreSlots];
  uint32_t scanStamp;
  // The holder sets whose members lose one power each in the difference and
  // in the sum, added up when the candidate's bases have all been seen: those
  // of dense bases, and those of small bases when all of them can be counted.
  const SlotSet* differenceSets[kDenseSets];
  const SlotSet* sumSets[kDenseSets];
  int32_t setCount;
  const SlotSet* smallDifferenceSets[kDenseSets];
  const SlotSet* smallSumSets[kDenseSets];
  int32_t smallSetCount;
  // The losses on the bases whose holders are counted as sets, one bit of
  // every slot's count per plane, the lowest first.
  SlotSet differencePlanes[kPlanes];
  SlotSet sumPlanes[kPlanes];
  int32_t differencePlanesUsed;
  int32_t sumPlanesUsed;
  int64_t below;
  int64_t sizeExcess;  // candidate size - below
  int64_t sideLimit;   // largest m whose table entry was above m
  int32_t from;
  // The plain slots that share a base with the candidate; the others are
  // looked at only when one that shares nothing may matter at all.
  SlotSet reach;
  bool unsharedMayMatter;
  // The slots that hold one of the candidate's larger bases walked as lists,
  // and those that share a small base with it; the others lose only what the
  // bit planes count. A slot whose bound stays below `fewestLost` fails the
  // first look, so those others are passed over 64 at a time when their
  // counts stay below it, and, unless the small bases are in the planes,
  // those sharing small bases when their counts stay below
  // `fewestLostSharing` (less what the small bases can lose).
  SlotSet listed;
  SlotSet sharingSmall;
  int64_t fewestLost;
  int64_t fewestLostSharing;
  bool looked[kBlocks];
  SlotSet offered;
  // The table entries 0..sideLimit when the scan began: slots looked at later
  // are judged as they would have been then.
  int32_t table[kTableSize];
  // For m from 1 to sideLimit, the largest table[j] - j over j from m to
  // sideLimit. Both sides of a combination lose the same powers, so the gap
  // between them is known before its losses: a combination whose smaller
  // side ends at m or above lowers the table only if its gap is below this.
  int32_t gapFrom[kTableSize];
};
ScanState gScan;

uint32_t LargeHome(int32_t base) {
  return (static_cast<uint32_t>(base) * 2654435769u) >> 23;  // 9 bits: 0..511
}

int32_t CandidateMultiplicity(int32_t base) {
  const ScanState& scan = gScan;
  if (base < kDirectBaseLimit) return scan.multiplicityOf[base];
  for (uint32_t at = LargeHome(base);; at = (at + 1) % kLargeSlots) {
    if (scan.large[at].base == base) return scan.large[at].multiplicity;
    if (scan.large[at].base == 0) return 0;
  }
}

void SetCandidateMultiplicity(int32_t base, int32_t multiplicity) {
  ScanState& scan = gScan;
  if (base < kDirectBaseLimit) {
    scan.multiplicityOf[base] = multiplicity;
    return;
  }
  uint32_t at = LargeHome(base);
  while (scan.large[at].base != 0 && scan.large[at].base != base) at = (at + 1) % kLargeSlots;
  scan.large[at] = Term{base, multiplicity};
}

// Whether a combination with these sides is worth a look, judged by the table
// as it was when the scan began: fewer than `below` powers, or lowering it.
[[gnu::always_inline]] inline bool Matters(int64_t left, int64_t right) {
  const ScanState& scan = gScan;
  if (left + right < scan.below) return true;
  const int64_t m = std::min(left, right);
  const int64_t n = std::max(left, right);
  return m >= 1 && m <= scan.sideLimit && n < scan.table[m];
}

// The candidate's words beyond its largest small base are empty.
[[gnu::always_inline]] inline int64_t Shared(const BaseMask& a, const BaseMask& b, int32_t words) {
  int64_t count = 0;
  for (int32_t w = 0; w < words; ++w) count += __builtin_popcountll(a.word[w] & b.word[w]);
  return count;
}

// Whether a combination with sides `left` and `right` before its losses,
// which lose at most `lost` powers each, can have fewer than `below` powers or
// lower the table.
[[gnu::always_inline]] inline bool MayMatter(int64_t lost, int64_t left, int64_t right) {
  const ScanState& scan = gScan;
  if (2 * lost > left + right - scan.below) return true;
  const int64_t smaller = std::min(left, right);
  const int64_t lowest = std::max<int64_t>(smaller - lost, 1);
  return lowest <= std::min(smaller, scan.sideLimit) &&
         std::llabs(left - right) < scan.gapFrom[lowest];
}

// The fewest powers a combination with sides `left` and `right` before its
// losses must lose for it to matter: to fall below `below` powers, or to
// bring its smaller side down to an m whose gap in the table is above the
// gap between its sides, which its losses leave as it is. At least
// `enough` when that is all the caller needs to know.
int64_t LossToMatter(int64_t left, int64_t right, int64_t enough) {
  const ScanState& scan = gScan;
  const int64_t excess = left + right - scan.below;
  const int64_t forSize = excess < 0 ? 0 : excess / 2 + 1;
  const int64_t smaller = std::min(left, right);
  const int64_t gap = std::llabs(left - right);
  int64_t high = std::min(smaller, scan.sideLimit);
  if (std::min(forSize, enough) <= smaller - high || high < 1 || gap >= scan.gapFrom[1]) {
    return forSize;
  }
  // gapFrom does not grow with m: the largest m whose gap is wide enough.
  int64_t low = 1;
  while (low < high) {
    const int64_t middle = (low + high + 1) / 2;
    if (gap < scan.gapFrom[middle]) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return std::min(forSize, smaller - low);
}

// Whether a combination matters whose losses are `lost` exactly, or at most
// `lost` when not `exact`: then its exact counts decide, if it may.
[[gnu::always_inline]] inline bool CombinationMatters(int32_t s, int32_t sign, int64_t lost,
                                                      bool exact, int64_t left, int64_t right) {
  if (exact) return Matters(left - lost, right - lost);
  if (!MayMatter(lost, left, right)) return false;
  const CombinationCounts counts = CountCombination(s, sign);
  return Matters(counts.positive, counts.negative);
}

// The second look at a slot that passed the first: small bases by sign, each
// losing at least one power and at most the smaller of the two largest
// multiplicities. The losses on larger bases are exact, so the counts are
// known without the records when no small base loses more than one; the
// others are counted exactly when they may matter. Inlined into each look,
// so that it counts bits the way that look does.
[[gnu::always_inline]] inline bool SecondLook(int32_t s, int64_t each, const LargeLoss& large) {
  const ScanState& scan = gScan;
  const Candidate& c = scan.candidate;
  const SlotSigns& g = gStoreIndex.signs[s];
  const int32_t w = c.maskWords;
  const int64_t same =
      Shared(g.positive, c.positiveSmall, w) + Shared(g.negative, c.negativeSmall, w);
  const int64_t unlike =
      Shared(g.positive, c.negativeSmall, w) + Shared(g.negative, c.positiveSmall, w);
  return CombinationMatters(s, -1, same * each + large.inDifference, same == 0 || each == 1,
                            c.positive + g.negativeSum, c.negative + g.positiveSum) ||
         CombinationMatters(s, +1, unlike * each + large.inSum, unlike == 0 || each == 1,
                            c.positive + g.positiveSum, c.negative + g.negativeSum);
}

// Each byte of an entry is one bit of its index: a plane's byte of 8 slots
// becomes their 8 bits, one per byte.
constexpr std::array<uint64_t, 256> kSpreadBits = [] {
  std::array<uint64_t, 256> spread{};
  for (uint64_t byte = 0; byte < 256; ++byte) {
    for (int32_t bit = 0; bit < 8; ++bit) spread[byte] |= ((byte >> bit) & 1) << (8 * bit);
  }
  return spread;
}();

// The slots of word `w` whose count held in bit planes is at least `least`,
// compared 64 at a time from the highest plane down.
uint64_t CountsAtLeast(const SlotSet* planes, int32_t used, int32_t w, int64_t least) {
  if (least >= (int64_t{1} << used)) return 0;
  uint64_t greater = 0;
  uint64_t equal = ~uint64_t{0};
  for (int32_t p = used - 1; p >= 0; --p) {
    const uint64_t bits = planes[p].word[w];
    if ((least >> p) & 1) {
      equal &= bits;
    } else {
      greater |= equal & bits;
      equal &= ~bits;
    }
  }
  return greater | equal;
}

// The slots of word `w` whose difference or sum loses at least `least`
// powers by the counts of the bit planes.
uint64_t LosingAtLeast(int32_t w, int64_t least) {
  const ScanState& scan = gScan;
  return CountsAtLeast(scan.differencePlanes, scan.differencePlanesUsed, w, least) |
         CountsAtLeast(scan.sumPlanes, scan.sumPlanesUsed, w, least);
}

// The count held in bit planes for one slot, from its word of each plane.
[[gnu::always_inline]] inline int32_t CountAt(const uint64_t* words, int32_t used, int32_t bit) {
  int32_t count = 0;
  for (int32_t p = 0; p < used; ++p) count |= static_cast<int32_t>((words[p] >> bit) & 1) << p;
  return count;
}

// The counts held in bit planes for the 64 slots of word `w`. Up to 8
// planes, 8 slots are read at a time, one count per byte.
void CountsOfWord(const SlotSet* planes, int32_t used, int32_t w, int32_t counts[64]) {
  if (used > 8) {
    for (int32_t slot = 0; slot < 64; ++slot) {
      counts[slot] = 0;
      for (int32_t p = 0; p < used; ++p) {
        counts[slot] += static_cast<int32_t>((planes[p].word[w] >> slot) & 1) << p;
      }
    }
    return;
  }
  for (int32_t part = 0; part < 8; ++part) {
    uint64_t bytes = 0;
    for (int32_t p = 0; p < used; ++p) {
      bytes |= kSpreadBits[(planes[p].word[w] >> (8 * part)) & 0xFF] << p;
    }
    for (int32_t slot = 0; slot < 8; ++slot) {
      counts[8 * part + slot] = static_cast<int32_t>((bytes >> (8 * slot)) & 0xFF);
    }
  }
}

// The first look at every slot of a block: its small bases shared with the
// candidate and its exact loss on the larger ones, against bounds of the size
// and of the smaller side of both the difference and the sum; or, when every
// loss is counted exactly, the counts of both. Most slots end here, so it
// works from copies in registers.
template <bool kExact>
[[gnu::always_inline]] inline void LookAtBlock(int32_t block) {
  ScanState& scan = gScan;
  const StoreIndex& index = gStoreIndex;
  const Candidate& c = scan.candidate;
  const SlotFilter* filters = index.filter;
  const BaseMask small = c.small;
  const int64_t largest = c.largest;
  const int64_t positive = c.positive;
  const int64_t negative = c.negative;
  const int64_t sizeExcess = scan.sizeExcess;
  const int64_t sideExcess = std::min(c.positive, c.negative) - scan.sideLimit;
  const uint32_t stamp = scan.scanStamp;
  const bool anyLarge = c.anyLarge;
  const int32_t words = c.maskWords;
  const int32_t differencePlanes = scan.differencePlanesUsed;
  const int32_t sumPlanes = scan.sumPlanesUsed;
  const int32_t firstWord = block * (kBlock / 64);
  const int32_t lastWord = std::min(firstWord + kBlock / 64, kSlotWords);
  for (int32_t w = firstWord; w < lastWord; ++w) {
    // Slots before `from` are never offered.
    const int32_t lowest = scan.from - w * 64;
    const uint64_t allowed = lowest <= 0    ? ~uint64_t{0}
                             : lowest >= 64 ? uint64_t{0}
                                            : ~uint64_t{0} << lowest;
    if (!scan.counting) {
      scan.offered.word[w] = index.occupied.word[w] & allowed;
      continue;
    }
    uint64_t offer = index.unusual.word[w] & allowed;
    const uint64_t plain = index.occupied.word[w] & ~index.unusual.word[w];
    uint64_t look = (scan.unsharedMayMatter ? plain : scan.reach.word[w]) & allowed;
    if (scan.fewestLost > 0 && look != 0) {
      uint64_t keep = scan.listed.word[w] | LosingAtLeast(w, scan.fewestLost);
      if (!kExact) {
        const uint64_t sharing = scan.sharingSmall.word[w];
        keep |= scan.fewestLostSharing > 0 ? sharing & LosingAtLeast(w, scan.fewestLostSharing)
                                           : sharing;
      }
      look &= keep;
    }
    // The counts of a whole word at once when many of its slots are looked at,
    // else one slot at a time.
    const bool whole = __builtin_popcountll(look) >= kWholeWordFrom;
    int32_t difference[64];
    int32_t sum[64];
    uint64_t differenceWords[kPlanes];
    uint64_t sumWords[kPlanes];
    if (whole) {
      if (differencePlanes > 0)
        CountsOfWord(scan.differencePlanes, differencePlanes, w, difference);
      if (sumPlanes > 0) CountsOfWord(scan.sumPlanes, sumPlanes, w, sum);
    } else if (look != 0) {
      for (int32_t p = 0; p < differencePlanes; ++p) {
        differenceWords[p] = scan.differencePlanes[p].word[w];
      }
      for (int32_t p = 0; p < sumPlanes; ++p) sumWords[p] = scan.sumPlanes[p].word[w];
    }
    while (look != 0) {
      const int32_t s = w * 64 + __builtin_ctzll(look);
      look &= look - 1;
      const SlotFilter& f = filters[s];
      LargeLoss large =
          anyLarge && scan.loss[s].stamp == stamp ? scan.loss[s].loss : LargeLoss{0, 0};
      if (whole) {
        if (differencePlanes > 0) large.inDifference += difference[s & 63];
        if (sumPlanes > 0) large.inSum += sum[s & 63];
      } else {
        large.inDifference += CountAt(differenceWords, differencePlanes, s & 63);
        large.inSum += CountAt(sumWords, sumPlanes, s & 63);
      }
      if (kExact) {
        const int64_t slotNegative = f.size - f.positive;
        if (Matters(positive + slotNegative - large.inDifference,
                    negative + f.positive - large.inDifference) ||
            Matters(positive + f.positive - large.inSum, negative + slotNegative - large.inSum)) {
          offer |= uint64_t{1} << (s & 63);
        }
        continue;
      }
      const int64_t each = std::min<int64_t>(largest, f.largest);
      const int64_t shared = Shared(f.small, small, words) * each;
      const int64_t bound = shared + std::max(large.inDifference, large.inSum);
      // Bounds of the size and of the smaller side of either combination
      // first, then of each with its sides.
      if (!(2 * bound > f.size + sizeExcess || bound >= f.smallerSide + sideExcess)) continue;
      const int64_t slotNegative = f.size - f.positive;
      if ((MayMatter(shared + large.inDifference, positive + slotNegative, negative + f.positive) ||
           MayMatter(shared + large.inSum, positive + f.positive, negative + slotNegative)) &&
          SecondLook(s, each, large)) {
        offer |= uint64_t{1} << (s & 63);
      }
    }
    scan.offered.word[w] = offer;
  }
  scan.looked[block] = true;
}

#if defined(__x86_64__) || defined(__i386__)
[[gnu::target("popcnt")]] void LookWithPopcount(int32_t block) {
  if (gScan.exact) {
    LookAtBlock<true>(block);
  } else {
    LookAtBlock<false>(block);
  }
}
#endif

void LookPortably(int32_t block) {
  if (gScan.exact) {
    LookAtBlock<true>(block);
  } else {
    LookAtBlock<false>(block);
  }
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

// Walks the lists of the candidate's larger bases, adding up what each
// holder loses with it.
void AddLargeLosses(int32_t base, int32_t x) {
  ScanState& scan = gScan;
  const std::vector<BaseEntry>* holders = RecordsWithBase(base);
  if (holders == nullptr) return;
  const uint32_t stamp = scan.scanStamp;
  const int32_t magnitude = std::abs(x);
  const bool positive = x > 0;
  const BaseEntry* entries = holders->data();
  const size_t count = holders->size();
  for (size_t i = 0; i < count; ++i) {
    const BaseEntry& entry = entries[i];
    const int32_t s = entry.slot;
    AddSlot(scan.listed, s);
    StampedLoss& stamped = scan.loss[s];
    // Masks, not branches: whether a holder was met before in this scan and
    // the sign it holds the base with follow no pattern a predictor could learn.
    // Both losses are added as one 64-bit word; neither half can carry into
    // the other, since a loss stays below 2^31 (the candidate is plain: its
    // multiplicities, summed over 200 Terms, stay below 2^28).
    const uint64_t kept = -static_cast<uint64_t>(stamped.stamp == stamp);
    stamped.stamp = stamp;
    const uint32_t cancelled =
        static_cast<uint32_t>(std::min(magnitude, std::abs(entry.multiplicity)));
    const uint32_t same = -static_cast<uint32_t>(positive == (entry.multiplicity > 0));
    const uint64_t added = (cancelled & same) | static_cast<uint64_t>(cancelled & ~same) << 32;
    uint64_t losses;
    std::memcpy(&losses, &stamped.loss, sizeof losses);
    losses = (losses & kept) + added;
    std::memcpy(&stamped.loss, &losses, sizeof losses);
  }
}

// Three bit vectors added bit by bit: the sum bits stay in `low`, the
// carries come out.
[[gnu::always_inline]] inline uint64_t CarrySave(uint64_t& low, uint64_t a, uint64_t b) {
  const uint64_t partial = low ^ a;
  const uint64_t carry = (low & a) | (partial & b);
  low = partial ^ b;
  return carry;
}

// Adds `bits` into the counters planes[from..kTop) at one word.
template <int32_t kTop>
[[gnu::always_inline]] inline void Ripple(uint64_t* planes, int32_t from, uint64_t bits) {
  for (int32_t p = from; p < kTop; ++p) {
    const uint64_t carry = planes[p] & bits;
    planes[p] ^= bits;
    bits = carry;
  }
}

// CountMemberships with kTop planes, enough for `count`: the counters of a
// word stay in registers.
template <int32_t kTop>
void CountWords(const SlotSet* const* sets, int32_t count, int32_t firstWord, SlotSet* planes,
                SlotSet& reach, uint64_t* anywhere) {
  for (int32_t w = firstWord; w < kSlotWords; ++w) {
    uint64_t counter[kTop] = {};
    uint64_t any = 0;
    int32_t i = 0;
    if constexpr (kTop > 3) {
      for (; i + 8 <= count; i += 8) {
        uint64_t d[8];
        for (int32_t k = 0; k < 8; ++k) {
          d[k] = sets[i + k]->word[w];
          any |= d[k];
        }
        const uint64_t twosA = CarrySave(counter[0], d[0], d[1]);
        const uint64_t twosB = CarrySave(counter[0], d[2], d[3]);
        const uint64_t foursA = CarrySave(counter[1], twosA, twosB);
        const uint64_t twosC = CarrySave(counter[0], d[4], d[5]);
        const uint64_t twosD = CarrySave(counter[0], d[6], d[7]);
        const uint64_t foursB = CarrySave(counter[1], twosC, twosD);
        Ripple<kTop>(counter, 3, CarrySave(counter[2], foursA, foursB));
      }
    }
    for (; i < count; ++i) {
      any |= sets[i]->word[w];
      Ripple<kTop>(counter, 0, sets[i]->word[w]);
    }
    reach.word[w] |= any;
    for (int32_t p = 0; p < kTop; ++p) {
      planes[p].word[w] = counter[p];
      anywhere[p] |= counter[p];
    }
  }
}

using CountWordsFunction = void (*)(const SlotSet* const*, int32_t, int32_t, SlotSet*, SlotSet&,
                                    uint64_t*);
template <int32_t... kTops>
constexpr std::array<CountWordsFunction, sizeof...(kTops)> CountWordsByTop(
    std::integer_sequence<int32_t, kTops...>) {
  return {&CountWords<kTops + 1>...};
}
constexpr auto kCountWords = CountWordsByTop(std::make_integer_sequence<int32_t, kPlanes>{});

// Counts, for every slot, the sets that hold it, as bit planes: a word of 64
// slots at a time, its counters in registers, eight sets folded into them
// with seven carry-save additions; returns the planes in use.
int32_t CountMemberships(const SlotSet* const* sets, int32_t count, int32_t firstWord,
                         SlotSet* planes, SlotSet& reach) {
  if (count == 0) return 0;
  const int32_t top = std::bit_width(static_cast<uint32_t>(count));
  uint64_t anywhere[kPlanes] = {};
  kCountWords[static_cast<size_t>(top - 1)](sets, count, firstWord, planes, reach, anywhere);
  int32_t used = 0;
  for (int32_t p = 0; p < top; ++p) {
    if (anywhere[p] != 0) used = p + 1;
  }
  return used;
}

// Notes the holder sets of a base whose members lose with the candidate's
// multiplicity x, one per level of multiplicity (a holder loses the smaller
// of the two multiplicities); false when a multiplicity is beyond the levels
// on both sides, so that the sets cannot count it.
bool NoteHolders(const DenseHolders& holders, int32_t x, const SlotSet** difference,
                 const SlotSet** sum, int32_t& count) {
  const int32_t magnitude = std::abs(x);
  if (magnitude > kDenseLevels && holders.beyond > 0) return false;
  const int32_t levels = std::min(magnitude, kDenseLevels);
  const int32_t same = x < 0 ? 1 : 0;
  // The levels no holder reaches add nothing.
  for (int32_t j = 0; j < levels && holders.above[j] > 0; ++j) {
    difference[count] = &holders.atLeast[j][same];
    sum[count] = &holders.atLeast[j][1 - same];
    ++count;
  }
  return true;
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
  if (++scan.scanStamp == 0) {
    for (StampedLoss& stamped : scan.loss) stamped.stamp = 0;
    scan.scanStamp = 1;
  }
  c.termCount = candidate.termCount;
  scan.listed = SlotSet{};
  scan.sharingSmall = SlotSet{};
  scan.setCount = 0;
  scan.smallSetCount = 0;
  scan.exact = true;
  const StoreIndex& index = gStoreIndex;
  for (int32_t i = 0; i < candidate.termCount; ++i) {
    const Term& t = candidate.terms[i];
    const int64_t x = t.multiplicity;
    if (x > 0) {
      c.positive += x;
    } else {
      c.negative -= x;
    }
    c.largest = std::max<int64_t>(c.largest, std::llabs(x));
    SetCandidateMultiplicity(t.base, t.multiplicity);
    scan.bases[scan.baseCount++] = t.base;
    if (t.base < kMaskedBaseLimit) {
      AddBase(c.small, t.base);
      AddBase(x > 0 ? c.positiveSmall : c.negativeSmall, t.base);
      c.maskWords = std::max(c.maskWords, t.base / 64 + 1);
      scan.exact = scan.exact &&
                   NoteHolders(index.holdingSmall[t.base], t.multiplicity, scan.smallDifferenceSets,
                               scan.smallSumSets, scan.smallSetCount);
    } else {
      c.anyLarge = true;
      const DenseHolders* holders = DenseHoldersOf(t.base);
      if (holders == nullptr || !NoteHolders(*holders, t.multiplicity, scan.differenceSets,
                                             scan.sumSets, scan.setCount)) {
        AddLargeLosses(t.base, t.multiplicity);
      }
    }
  }
  const int32_t firstWord = scan.from / 64;
  if (scan.exact) {
    for (int32_t i = 0; i < scan.smallSetCount; ++i) {
      scan.differenceSets[scan.setCount] = scan.smallDifferenceSets[i];
      scan.sumSets[scan.setCount] = scan.smallSumSets[i];
      ++scan.setCount;
    }
  } else {
    for (int32_t i = 0; i < scan.baseCount; ++i) {
      if (scan.bases[i] >= kMaskedBaseLimit) continue;
      const SlotSet* holders = index.holdingSmall[scan.bases[i]].atLeast[0];
      for (int32_t w = firstWord; w < kSlotWords; ++w) {
        scan.sharingSmall.word[w] |= holders[0].word[w] | holders[1].word[w];
      }
    }
  }
  for (int32_t w = 0; w < kSlotWords; ++w) {
    scan.reach.word[w] = scan.listed.word[w] | scan.sharingSmall.word[w];
  }
  // Every holder of a base counted as sets is in a set of its first level on
  // one side.
  scan.differencePlanesUsed = CountMemberships(scan.differenceSets, scan.setCount, firstWord,
                                               scan.differencePlanes, scan.reach);
  scan.sumPlanesUsed =
      CountMemberships(scan.sumSets, scan.setCount, firstWord, scan.sumPlanes, scan.reach);
  // No overflow: both terms are far inside 64 bits (below may be the largest
  // value, when every combination matters).
  scan.sizeExcess = c.positive + c.negative - below;
  scan.sideLimit = gBest.LoweringSide;
  const int32_t* table = gBest.BestRightTable;
  int32_t gap = 0;
  for (int64_t m = scan.sideLimit; m >= 0; --m) {
    scan.table[m] = table[m];
    gap = std::max(gap, table[m] - static_cast<int32_t>(m));
    scan.gapFrom[m] = gap;
  }
  // A record that shares no base with the candidate loses nothing: both its
  // combinations hold all the powers of both, and whether they matter follows
  // from its sides. Those whose smaller side is too large to lower the table
  // are left out at once.
  scan.unsharedMayMatter =
      !index.bySize.empty() && index.bySize.begin()->first + scan.sizeExcess < 0;
  const int64_t reachable = scan.sideLimit - std::min(c.positive, c.negative);
  // The fewest powers any slot must lose for a combination to matter: exactly
  // for the pairs of sides with the smallest smaller sides, and for the rest
  // from the smallest size stored and the smallest smaller side left.
  const int64_t sizeAbove =
      index.bySize.empty() ? 0 : index.bySize.begin()->first + scan.sizeExcess;
  int64_t fewest = sizeAbove < 0 ? 0 : sizeAbove / 2 + 1;
  int64_t smallestSide = kTableSize;
  int32_t bounded = 0;
  for (auto at = index.withSides.begin(); at != index.withSides.end() && fewest > 0; ++at) {
    if (++bounded > kSidePairsBounded) {
      smallestSide = at->first.smaller;
      break;
    }
    const int64_t p = at->first.positive;
    const int64_t n = at->first.negative;
    fewest = std::min(fewest, LossToMatter(c.positive + n, c.negative + p, fewest));
    fewest = std::min(fewest, LossToMatter(c.positive + p, c.negative + n, fewest));
  }
  scan.fewestLost =
      std::min(fewest, smallestSide + std::min(c.positive, c.negative) - scan.sideLimit);
  // Each small base shared loses at most the candidate's largest multiplicity.
  int64_t smallBases = 0;
  for (const uint64_t word : c.small.word) smallBases += __builtin_popcountll(word);
  scan.fewestLostSharing = scan.fewestLost - smallBases * c.largest;
  int32_t pairs = 0;
  for (auto at = index.withSides.begin();
       !scan.unsharedMayMatter && at != index.withSides.end() && at->first.smaller <= reachable;
       ++at) {
    const int64_t p = at->first.positive;
    const int64_t n = at->first.negative;
    scan.unsharedMayMatter = ++pairs > kSidePairsLooked ||
                             Matters(c.positive + n, c.negative + p) ||
                             Matters(c.positive + p, c.negative + n);
  }
}

bool ScanOffers(int32_t slot) {
  ScanState& scan = gScan;
  if (!scan.looked[slot / kBlock]) Look(slot / kBlock);
  return (scan.offered.word[slot >> 6] >> (slot & 63)) & 1;
}

int32_t NextOffered(int32_t slot) {
  ScanState& scan = gScan;
  for (int32_t w = std::max(slot, 0) >> 6; w < kSlotWords; ++w) {
    const int32_t block = w / (kBlock / 64);
    if (!scan.looked[block]) Look(block);
    uint64_t bits = scan.offered.word[w];
    if (w == slot >> 6) bits &= ~uint64_t{0} << (slot & 63);
    if (bits != 0) return w * 64 + __builtin_ctzll(bits);
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
    const int64_t x = CandidateMultiplicity(stored.terms[i].base);
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
  bool large = false;
  for (int32_t i = 0; i < scan.baseCount; ++i) {
    const int32_t base = scan.bases[i];
    if (base < kDirectBaseLimit) {
      scan.multiplicityOf[base] = 0;
    } else {
      large = true;
    }
  }
  // Open addressing leaves no holes to fill in: the whole table goes.
  if (large) std::fill(scan.large, scan.large + kLargeSlots, Term{0, 0});
  scan.baseCount = 0;
}

bool TooLong(const CombinationCounts& counts) {
  return counts.terms >= kMaxTerms || !SidesFit({counts.positive, counts.negative});
}

}  // namespace quorvex
