#include "search/cross_reduction.hpp"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "base/run_state.hpp"
#include "search/combination_walk.hpp"
#include "search/random.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "store/store_scan.hpp"

namespace quorvex {

CrossReductionState gCross;

namespace {

// m * w + n, exactly, with the weight as the single-precision value it was
// converted to once per weight. Scores are compared exactly too: below 2^24
// that is what a single-precision score gives, and above it rounding would
// let a record step back and forth between two forms for ever.
int64_t ScoreValue(const SolutionRecord& record, int64_t weight) {
  return int64_t{record.leftCount} * weight + record.rightCount;
}

// The partners the scan offers, other than the record itself, in the order
// of the permutation; a sweep visits only these.
int32_t CollectPartners(int32_t self) {
  int32_t count = 0;
  for (int32_t s = NextOffered(0); s < kStoreSlots; s = NextOffered(s + 1)) {
    if (s != self) gCross.partners[count++] = s;
  }
  const int32_t* position = gCross.positionOf;
  std::sort(gCross.partners, gCross.partners + count,
            [position](int32_t a, int32_t b) { return position[a] < position[b]; });
  return count;
}

// The first of the partners at `position` of the permutation or later.
int32_t FirstPartnerFrom(int32_t from, int32_t count) {
  const int32_t* position = gCross.positionOf;
  return static_cast<int32_t>(
      std::lower_bound(gCross.partners, gCross.partners + count, from,
                       [position](int32_t slot, int32_t at) { return position[slot] < at; }) -
      gCross.partners);
}

// Tries `combined` (already built in scratch) as the new working copy: true
// when its score is strictly below the current one, which it then replaces.
bool AcceptIfBetter(SolutionRecord& scratch, SolutionRecord& working, int64_t weight,
                    int64_t& score) {
  EvaluateCandidate(scratch);
  const int64_t value = ScoreValue(scratch, weight);
  if (value >= score) return false;
  score = value;
  working = scratch;
  return true;
}

enum class PartnerOutcome { Next, Changed };

// The working copy against one partner with both merges written out.
PartnerOutcome ImproveAgainstPartner(SolutionRecord& working, const SolutionRecord& partner,
                                     SolutionRecord& scratch, int64_t weight, int64_t& score) {
  int32_t difference = CombineTerms(working, partner, -1, scratch);
  if (difference == 0) return PartnerOutcome::Next;  // equal to the partner: nothing to gain
  if (difference < kMaxTerms && AcceptIfBetter(scratch, working, weight, score)) {
    return PartnerOutcome::Changed;
  }
  int32_t sum = CombineTerms(working, partner, +1, scratch);
  if (sum == 0 || sum >= kMaxTerms) return PartnerOutcome::Next;
  if (AcceptIfBetter(scratch, working, weight, score)) return PartnerOutcome::Changed;
  return PartnerOutcome::Next;
}

// The same decisions from the counts alone: a combination is written out only
// when it would be logged or taken, the only times its Terms are seen.
PartnerOutcome ImproveAgainstCountedPartner(SolutionRecord& working, int32_t slot,
                                            SolutionRecord& scratch, int64_t weight,
                                            int64_t& score) {
  const SolutionRecord& partner = gStore.slots[slot];
  for (int32_t sign : {-1, +1}) {
    CombinationCounts counts = CountCombination(slot, sign);
    if (counts.terms == 0 || TooLong(counts)) {
      if (sign > 0 || counts.terms == 0) return PartnerOutcome::Next;
      continue;
    }
    const int64_t m = std::min(counts.positive, counts.negative);
    const int64_t n = std::max(counts.positive, counts.negative);
    const bool better = m * weight + n < score;
    if (!better && !BestRightImproves(static_cast<int32_t>(m), static_cast<int32_t>(n))) continue;
    CombineTerms(working, partner, sign, scratch);
    if (AcceptIfBetter(scratch, working, weight, score)) return PartnerOutcome::Changed;
  }
  return PartnerOutcome::Next;
}

// Partners that may matter: with a positive weight a score is at least m + n,
// so only combinations with fewer powers than the score, or that would be
// logged, can have an effect. Other weights look at every partner.
void ScanForImprovement(const SolutionRecord& working, int64_t weight, int64_t score) {
  int64_t below = std::numeric_limits<int64_t>::max();
  if (weight > 0) below = std::max<int64_t>(score, 1);
  BeginScan(working, below, 0);
}

enum class RecordOutcome { Unchanged, Improved, Stopped };

// Improves the working copy against every other stored record until a whole
// sweep brings nothing.
RecordOutcome ImproveRecord(int32_t self, SolutionRecord& working, int64_t weight, int64_t& score) {
  SolutionRecord scratch;
  bool recordImproved = false;
  bool sweepImproved = true;
  ScanForImprovement(working, weight, score);
  int32_t count = CollectPartners(self);
  while (sweepImproved) {
    sweepImproved = false;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t f = gCross.partners[i];
      bool changed = false;
      for (;;) {
        if (StopNow()) {
          EndScan();
          return RecordOutcome::Stopped;
        }
        const PartnerOutcome outcome =
            ScanCounts(f) ? ImproveAgainstCountedPartner(working, f, scratch, weight, score)
                          : ImproveAgainstPartner(working, gStore.slots[f], scratch, weight, score);
        if (outcome == PartnerOutcome::Next) break;
        sweepImproved = recordImproved = changed = true;
        EndScan();
        // The further steps with this partner, all at once.
        const int64_t walked =
            WalkRecord(working, gStore.slots[f], WalkMeasure::Score, weight, scratch);
        if (walked < 0) return RecordOutcome::Stopped;
        if (walked > 0) score = ScoreValue(working, weight);
        ScanForImprovement(working, weight, score);
      }
      // The sweep goes on after this partner, among those the changed working
      // copy may combine with. Exhaustive queries offer every record whatever
      // the working copy, so the list stands and the sweep is the plain one.
      if (changed && GetStoreQueries() == StoreQueries::Quick) {
        count = CollectPartners(self);
        i = FirstPartnerFrom(gCross.positionOf[f] + 1, count) - 1;
      }
    }
  }
  EndScan();
  return recordImproved ? RecordOutcome::Improved : RecordOutcome::Unchanged;
}

void WriteStatistics(int32_t w) {
  float sum = 0.0f;
  int64_t lowest = 1000000;
  int64_t highest = 0;
  for (SolutionRecord* record = gStore.inUseHead; record != nullptr; record = record->next) {
    if (record->termCount == 0) FatalError("Internal bug 1\n");
    int64_t t = static_cast<int64_t>(record->leftCount) + record->rightCount;
    sum += static_cast<float>(t);
    if (t < lowest) lowest = t;
    if (t > highest) highest = t;
  }
  // A pass can only empty the store through removals of duplicates, which
  // always leave one record, but the division must not depend on that.
  float average = gStore.count > 0 ? sum / static_cast<float>(gStore.count) : 0.0f;
  char line[160];
  std::snprintf(line, sizeof line,
                "Weight %d, pass %d: average terms %f (from %" PRId64 " to %" PRId64 ")\n", w,
                gRun.PassCounter, static_cast<double>(average), lowest, highest);
  PrintDetail("%s", line);
  FlushConsole();
  if (std::FILE* stats = std::fopen(kStatsFile, "at")) {
    std::fputs(line, stats);
    std::fclose(stats);
  } else {
    // The statistics are a convenience; the search itself goes on without them.
    Print("Cannot open %s\n", kStatsFile);
  }
}

}  // namespace

void DrawSlotPermutation() {
  int32_t* permutation = gCross.SlotPermutation;
  for (int32_t i = 0; i < kStoreSlots; ++i) permutation[i] = i;
  for (int32_t j = kStoreSlots - 1; j >= 1; --j) {
    int32_t x = static_cast<int32_t>(static_cast<int64_t>(j) * Rand() / 32767);
    int32_t held = permutation[j];
    permutation[j] = permutation[x];
    permutation[x] = held;
  }
  for (int32_t i = 0; i < kStoreSlots; ++i) gCross.positionOf[permutation[i]] = i;
}

void CrossReductionPass(int32_t weight, int32_t passes) {
  std::lock_guard lock(StoreMutex());
  if (gStore.count == 0) return;
  for (int32_t w = weight; w != 0; w /= 2) {
    CrossReduceAtWeight(w, passes);
    if (StopNow()) return;
  }
}

void CrossReduceAtWeight(int32_t w, int32_t passes) {
  gRun.CurrentWeight = w;
  DrawSlotPermutation();
  gRun.PassCounter = 0;
  const int64_t weight = static_cast<int64_t>(static_cast<float>(w));
  for (;;) {
    bool passImproved = false;
    int32_t visited = 0;
    for (int32_t position = 0; position < kStoreSlots; ++position) {
      int32_t e = gCross.SlotPermutation[position];
      SolutionRecord& slot = gStore.slots[e];
      if (slot.termCount == 0) continue;
      ++visited;
      if (visited % 10 == 0) {
        PrintDetail("%d(%d): %d/%d    \r", w, gRun.PassCounter + 1, visited, gStore.count);
        FlushConsole();
      }
      if (StopNow()) return;
      SolutionRecord working = slot;
      int64_t score = ScoreValue(working, weight);
      const RecordOutcome outcome = ImproveRecord(e, working, weight, score);
      // A record left half-improved by a stop keeps its stored form.
      if (outcome == RecordOutcome::Stopped) return;
      if (outcome == RecordOutcome::Improved) {
        passImproved = true;
        InsertRecord(working, &slot, InsertReplace);
      }
    }
    ++gRun.PassCounter;
    WriteStatistics(w);
    if (!passImproved || gRun.PassCounter >= passes) return;
  }
}

}  // namespace quorvex
