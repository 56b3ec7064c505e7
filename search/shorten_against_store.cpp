#include "search/shorten_against_store.hpp"

#include <algorithm>

#include "base/run_state.hpp"
#include "search/combination_walk.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "store/store_scan.hpp"

namespace quorvex {

namespace {

enum class SlotOutcome { Next, Changed, Stop };

int64_t Size(const SolutionRecord& record) {
  return static_cast<int64_t>(record.leftCount) + record.rightCount;
}

// Tries a combination built in `scratch`: evaluated (so that it is logged when
// it lowers the table) and taken when it has fewer powers.
bool TakeIfShorter(SolutionRecord& candidate, SolutionRecord& scratch) {
  EvaluateCandidate(scratch);
  if (Size(scratch) >= Size(candidate)) return false;
  candidate = scratch;
  return true;
}

// The candidate against one stored record with both merges written out.
SlotOutcome AgainstMerged(SolutionRecord& candidate, const SolutionRecord& stored,
                          SolutionRecord& scratch) {
  const int32_t difference = CombineTerms(candidate, stored, -1, scratch);
  if (difference == 0) return SlotOutcome::Stop;  // the candidate is already stored
  if (difference < kMaxTerms && TakeIfShorter(candidate, scratch)) return SlotOutcome::Changed;
  const int32_t sum = CombineTerms(candidate, stored, +1, scratch);
  // An empty sum: the candidate is a stored record with its sides exchanged.
  if (sum == 0) return SlotOutcome::Stop;
  if (sum < kMaxTerms && TakeIfShorter(candidate, scratch)) return SlotOutcome::Changed;
  return SlotOutcome::Next;
}

// The same decisions from the counts alone: a combination is written out only
// when it would be logged or taken, the only times its Terms are seen.
SlotOutcome AgainstCounted(SolutionRecord& candidate, int32_t slot, SolutionRecord& scratch) {
  for (int32_t sign : {-1, +1}) {
    const CombinationCounts counts = CountCombination(slot, sign);
    if (counts.terms == 0) return SlotOutcome::Stop;
    if (TooLong(counts)) continue;
    const int64_t m = std::min(counts.positive, counts.negative);
    const int64_t n = std::max(counts.positive, counts.negative);
    if (m + n >= Size(candidate) &&
        !BestRightImproves(static_cast<int32_t>(m), static_cast<int32_t>(n))) {
      continue;
    }
    CombineTerms(candidate, gStore.slots[slot], sign, scratch);
    if (TakeIfShorter(candidate, scratch)) return SlotOutcome::Changed;
  }
  return SlotOutcome::Next;
}

// Only combinations shorter than the candidate, or logged, have an effect.
// The walk never goes back, so earlier slots need no look.
void ScanFrom(const SolutionRecord& candidate, int32_t from) {
  BeginScan(candidate, std::max<int64_t>(Size(candidate), 1), from);
}

}  // namespace

bool ShortenAgainstStore(SolutionRecord& candidate) {
  SolutionRecord scratch;
  ScanFrom(candidate, 0);
  for (int32_t s = NextOffered(0); s < kStoreSlots; s = NextOffered(s + 1)) {
    SlotOutcome outcome;
    do {
      // Left before the insertion, the store is as it was before this candidate.
      if (StopNow()) {
        EndScan();
        return false;
      }
      outcome = ScanCounts(s) ? AgainstCounted(candidate, s, scratch)
                              : AgainstMerged(candidate, gStore.slots[s], scratch);
      if (outcome == SlotOutcome::Changed) {
        EndScan();
        // The further steps with this record, all at once.
        if (WalkRecord(candidate, gStore.slots[s], WalkMeasure::Size, 0, scratch) < 0) return false;
        ScanFrom(candidate, s + 1);
      }
    } while (outcome == SlotOutcome::Changed);
    if (outcome == SlotOutcome::Stop) {
      EndScan();
      return true;
    }
  }
  EndScan();
  InsertRecord(candidate, nullptr, InsertLogged);
  return true;
}

}  // namespace quorvex
