#pragma once

#include <cstdint>

#include "store/solution_store.hpp"

namespace quorvex {

struct CrossReductionState {
  int32_t SlotPermutation[kStoreSlots];
  int32_t positionOf[kStoreSlots];  // where each slot stands in the permutation
  int32_t partners[kStoreSlots];    // of the record being improved, in permutation order
};
extern CrossReductionState gCross;

constexpr const char* kStatsFile = "STATS.TXT";

// Cross-reduces the store at the weights `weight`, weight / 2, ... down to
// 1 (or up to -1), with at most `passes` passes per weight (at least one).
// Returns early, leaving the record under work as it was, on a stop.
void CrossReductionPass(int32_t weight, int32_t passes);
void CrossReduceAtWeight(int32_t w, int32_t passes);
// Draws, from the run's random numbers, the order in which a pass at one
// weight visits the slots (SlotPermutation and positionOf).
void DrawSlotPermutation();

}  // namespace quorvex
