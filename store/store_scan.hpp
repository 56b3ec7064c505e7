#pragma once

// The store's answers to the shortening against the store and to the
// cross-reduction: which stored records a candidate may combine with to any
// effect, and the exact counts of such combinations, without writing them.
#include <cstdint>

#include "store/solution_record.hpp"

namespace quorvex {

// Quick: a record is offered only when its combination with the candidate
// may matter, judged first from bit sets of bases and bounds, then from exact
// counts. Exhaustive: every stored record is offered and merged in full, the
// plain definition of both routines (and the loops that add one record or
// row to another again and again take one step at a time); the quick answers
// must give exactly the same results, and are checked against it.
enum class StoreQueries { Quick, Exhaustive };
void SetStoreQueries(StoreQueries queries);
StoreQueries GetStoreQueries();

// m + n and term count of candidate + sign * stored record.
struct CombinationCounts {
  int64_t positive;
  int64_t negative;
  int64_t terms;
};

// Starts a scan for `candidate`. It offers the occupied slots whose difference
// or sum with the candidate has fewer than `below` powers or would lower the
// best-size table (as the table is now, even when it changes during the
// scan), and every slot it cannot count. Slots before `from` are never looked
// at. One scan at a time; the store must not change while it lasts.
void BeginScan(const SolutionRecord& candidate, int64_t below, int32_t from);
// Whether the scan offers `slot`, in any order.
bool ScanOffers(int32_t slot);
// The first slot from `slot` on that the scan offers, or kStoreSlots.
int32_t NextOffered(int32_t slot);
// Whether CountCombination may be asked about `slot`; if not, the caller
// merges the two records in full.
bool ScanCounts(int32_t slot);
CombinationCounts CountCombination(int32_t slot, int32_t sign);
void EndScan();

// A combination CombineTerms would report as too long (200 Terms or more, or
// a side beyond 32-bit counts).
bool TooLong(const CombinationCounts& counts);

}  // namespace quorvex
