#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "store/best_right_table.hpp"

namespace quorvex {
namespace {

// The table as its entries from index 0 up to where they stay equal to the
// last, that value followed by "...", and NoteBound: "1000000 2 1 0... | 3".
std::string Table() {
  const int32_t* b = gBest.BestRightTable;
  int32_t end = kTableSize - 1;
  while (end > 0 && b[end - 1] == b[kTableSize - 1]) --end;
  std::string s;
  for (int32_t i = 0; i <= end; ++i) s += std::to_string(b[i]) + (i == end ? "... | " : " ");
  return s + std::to_string(gBest.NoteBound);
}

TEST(BestRight, LoweringsAndTheRecomputesThatFollow) {
  // Each case: entries lowered from the initial table, then the table after
  // the lowering and after each further recompute.
  struct Case {
    std::vector<std::pair<int32_t, int32_t>> lowered;
    std::vector<std::string> tables;
  };
  const Case cases[] = {
      {{}, {"1000000... | 1000001", "1000000... | 1000000"}},
      {{{1, 2}}, {"1000000 2 1 0... | 3", "1000000 2 1 0... | 3"}},
      {{{1, 4}}, {"1000000 4 5 6 1 0... | 5", "1000000 4 5 6 1 0... | 5"}},
      {{{2, 2}}, {"1000000 1000000 2 0... | 3", "3 2 1 0... | 3", "3 2 1 0... | 3"}},
      {{{3, 3}},
       {"1000000 1000000 1000000 3 0... | 4", "4 3 2 0... | 3", "3 2 1 0... | 3",
        "3 2 1 0... | 3"}},
  };
  for (const Case& c : cases) {
    ResetBestRight();
    for (const auto& [m, n] : c.lowered) LowerBestRight(m, n);
    for (const std::string& expected : c.tables) {
      EXPECT_EQ(Table(), expected);
      RecomputeBestRight();
    }
  }
  // (2, 8) and (4, 6) both total 10: the first mirrors from 8, the second only smooths.
  ResetBestRight();
  gBest.BestRightTable[2] = 8;
  gBest.BestRightTable[4] = 6;
  RecomputeBestRight();
  EXPECT_EQ(Table(), "1000000 1000000 8 9 6 7 8 9 2 1 0... | 10");
}

TEST(BestRight, ImprovesAndNote) {
  ResetBestRight();
  EXPECT_FALSE(BestRightImproves(0, 1));
  EXPECT_FALSE(BestRightImproves(10000, 1));
  EXPECT_FALSE(BestRightImproves(-1, 1));
  EXPECT_TRUE(BestRightImproves(9999, 999999));
  EXPECT_FALSE(BestRightImproves(1, 1000000));
  LowerBestRight(1, 4);
  EXPECT_FALSE(BestRightImproves(1, 4));
  EXPECT_TRUE(BestRightImproves(1, 3));
  EXPECT_FALSE(BestRightImproves(2, 5));
  EXPECT_TRUE(BestRightImproves(2, 4));

  gBest.NoteBound = 3;
  EXPECT_DOUBLE_EQ(RecordNote(3, 4), 3.0 / 7.0);
  EXPECT_DOUBLE_EQ(RecordNote(INT32_MAX, INT32_MAX), 3.0 / 4294967294.0);  // no wrap
}

}  // namespace
}  // namespace quorvex
