#include "store/best_right_table.hpp"

#include <algorithm>
#include <cstdint>

namespace quorvex {

BestSizeTable gBest;

void ResetBestRight() {
  std::fill(gBest.BestRightTable, gBest.BestRightTable + kTableSize, kUnknownRight);
  gBest.NoteBound = kInitialNoteBound;
  gBest.LoweringSide = kTableSize - 1;
}

bool BestRightImproves(int32_t m, int32_t n) {
  return m >= 1 && m < kTableSize && n < gBest.BestRightTable[m];
}

void LowerBestRight(int32_t m, int32_t n) {
  if (m < 0 || m >= kTableSize) return;  // callers test BestRightImproves first
  gBest.BestRightTable[m] = n;
  RecomputeBestRight();
}

void RecomputeBestRight() {
  int32_t* table = gBest.BestRightTable;

  // A solution (m, n) also gives one with one more power on each side, so an
  // entry never needs to be more than one above its predecessor.
  for (int32_t i = 1; i < kTableSize; ++i) {
    if (int64_t{table[i - 1]} + 1 < table[i]) table[i] = table[i - 1] + 1;
  }

  int32_t bestIndex = -1;
  int64_t bestSum = kUnknownRight;
  for (int32_t i = 0; i < kTableSize; ++i) {
    const int64_t sum = int64_t{i} + table[i];
    if (sum < bestSum) {
      bestSum = sum;
      bestIndex = i;
    }
  }

  // The best solution read with its sides swapped bounds the entries from its
  // right count on, falling by one per extra left power.
  if (bestIndex >= 0 && table[bestIndex] < kTableSize) {
    const int64_t v = table[bestIndex];
    for (int64_t j = std::max<int64_t>(v, 0); j < kTableSize; ++j) {
      table[j] = static_cast<int32_t>(std::max<int64_t>(bestIndex - (j - v), 0));
    }
  }

  // Once a balanced size is known, no larger left count can count as progress.
  for (int32_t i = 0; i < kTableSize; ++i) {
    if (table[i] == i) {
      std::fill(table + i + 1, table + kTableSize, 0);
      break;
    }
  }

  int64_t bound = kInitialNoteBound;
  for (int32_t i = 0; i < kTableSize; ++i) bound = std::min(bound, int64_t{i} + table[i]);
  gBest.NoteBound = static_cast<int32_t>(bound);
  gBest.LoweringSide = 0;
  for (int32_t i = kTableSize - 1; i >= 1; --i) {
    if (table[i] > i) {
      gBest.LoweringSide = i;
      break;
    }
  }
}

double RecordNote(int32_t m, int32_t n) {
  return static_cast<double>(gBest.NoteBound) / static_cast<double>(int64_t{m} + n);
}

}  // namespace quorvex
