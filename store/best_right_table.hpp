#pragma once

#include <cstdint>

namespace quorvex {

constexpr int32_t kTableSize = 10000;
constexpr int32_t kUnknownRight = 1000000;
constexpr int32_t kInitialNoteBound = 1000001;

// For each left count m, the right count a new solution must beat to be logged.
struct BestSizeTable {
  int32_t BestRightTable[kTableSize];
  int32_t NoteBound;
  // The largest m whose entry is above m, 0 when none is: a combination
  // lowers the table only if its smaller side is at most this. Kept with the
  // entries, since the store's scans ask for it every time.
  int32_t LoweringSide;
};
extern BestSizeTable gBest;

// Every entry 1000000, NoteBound 1000001 (what Init starts from).
void ResetBestRight();
bool BestRightImproves(int32_t m, int32_t n);
void LowerBestRight(int32_t m, int32_t n);
void RecomputeBestRight();
// NoteBound / (m + n) in double precision; larger means fewer powers.
double RecordNote(int32_t m, int32_t n);

}  // namespace quorvex
