#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "store/best_right_table.hpp"

namespace quorvex {
namespace {

// The entries of `head` from index 0, `tail` in every entry after them, and NoteBound.
void ExpectTable(const std::vector<int32_t>& head, int32_t tail, int32_t noteBound) {
  std::vector<int32_t> expected(kTableSize, tail);
  std::copy(head.begin(), head.end(), expected.begin());
  EXPECT_EQ(std::vector<int32_t>(gBest.BestRightTable, gBest.BestRightTable + kTableSize),
            expected);
  EXPECT_EQ(gBest.NoteBound, noteBound);
}

class BestRightTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetBestRight(); }
};

TEST_F(BestRightTest, InitialTableAndSingleStepLowerings) {
  ExpectTable({}, 1000000, 1000001);
  RecomputeBestRight();
  ExpectTable({}, 1000000, 1000000);

  LowerBestRight(1, 2);
  ExpectTable({1000000, 2, 1}, 0, 3);
  RecomputeBestRight();
  ExpectTable({1000000, 2, 1}, 0, 3);

  ResetBestRight();
  LowerBestRight(1, 4);
  ExpectTable({1000000, 4, 5, 6, 1}, 0, 5);
  RecomputeBestRight();
  ExpectTable({1000000, 4, 5, 6, 1}, 0, 5);
}

TEST_F(BestRightTest, BalancedLoweringsSettleOverRecomputes) {
  LowerBestRight(2, 2);
  ExpectTable({1000000, 1000000, 2}, 0, 3);
  RecomputeBestRight();
  ExpectTable({3, 2, 1}, 0, 3);
  RecomputeBestRight();
  ExpectTable({3, 2, 1}, 0, 3);

  ResetBestRight();
  LowerBestRight(3, 3);
  ExpectTable({1000000, 1000000, 1000000, 3}, 0, 4);
  RecomputeBestRight();
  ExpectTable({4, 3, 2}, 0, 3);
  RecomputeBestRight();
  ExpectTable({3, 2, 1}, 0, 3);
  RecomputeBestRight();
  ExpectTable({3, 2, 1}, 0, 3);
}

TEST_F(BestRightTest, FirstOfEqualBestTotalsIsMirrored) {
  // (2, 8) and (4, 6) both total 10: the first mirrors from 8, the second only smooths.
  gBest.BestRightTable[2] = 8;
  gBest.BestRightTable[4] = 6;
  RecomputeBestRight();
  ExpectTable({1000000, 1000000, 8, 9, 6, 7, 8, 9, 2, 1}, 0, 10);
}

TEST_F(BestRightTest, ImprovesAndNote) {
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
