#pragma once

#include <cstdint>

#include "store/solution_store.hpp"

namespace quorvex {

struct CrossReductionState {
  int32_t SlotPermutation[kStoreSlots];
};
extern CrossReductionState gCross;

constexpr const char* kStatsFile = "STATS.TXT";

void CrossReductionPass();
void CrossReduceAtWeight(int32_t w);

}  // namespace quorvex
