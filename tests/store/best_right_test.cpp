#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "store/best_right_table.hpp"

namespace quorvex {
namespace {

const int32_t* Table() {
  return gBest.BestRightTable;
}

// Checks the entries given in `head` from index 0, and `tail` for every entry
// after them.
void ExpectTable(const std::vector<int32_t>& head, int32_t tail, int32_t noteBound) {
  for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(Table()[i], head[i]) << "entry " << i;
  int32_t mismatches = 0;
  for (int32_t i = static_cast<int32_t>(head.size()); i < kTableSize; ++i) {
    if (Table()[i] != tail) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0) << "entries from " << head.size() << " should all be " << tail;
  EXPECT_EQ(gBest.NoteBound, noteBound);
}

class BestRightTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetBestRight(); }
};

TEST_F(BestRightTest, InitialTableAndItsRecompute) {
  ExpectTable({}, 1000000, 1000001);
  RecomputeBestRight();
  ExpectTable({}, 1000000, 1000000);
}

TEST_F(BestRightTest, LowerOneTwoIsStable) {
  LowerBestRight(1, 2);
  ExpectTable({1000000, 2, 1}, 0, 3);
  RecomputeBestRight();
  ExpectTable({1000000, 2, 1}, 0, 3);
}

TEST_F(BestRightTest, LowerOneFourMirrorsFromFour) {
  LowerBestRight(1, 4);
  ExpectTable({1000000, 4, 5, 6, 1}, 0, 5);
  RecomputeBestRight();
  ExpectTable({1000000, 4, 5, 6, 1}, 0, 5);
}

TEST_F(BestRightTest, LowerTwoTwoSettlesAfterOneMoreRecompute) {
  LowerBestRight(2, 2);
  ExpectTable({1000000, 1000000, 2}, 0, 3);
  RecomputeBestRight();
  ExpectTable({3, 2, 1}, 0, 3);
  RecomputeBestRight();
  ExpectTable({3, 2, 1}, 0, 3);
}

TEST_F(BestRightTest, LowerThreeThreeSettlesAfterTwoMoreRecomputes) {
  LowerBestRight(3, 3);
  ExpectTable({1000000, 1000000, 1000000, 3}, 0, 4);
  RecomputeBestRight();
  ExpectTable({4, 3, 2}, 0, 3);
  RecomputeBestRight();
  ExpectTable({3, 2, 1}, 0, 3);
  RecomputeBestRight();
  ExpectTable({3, 2, 1}, 0, 3);
}

TEST_F(BestRightTest, SmoothingAndFirstBestTotalWin) {
  // Two solutions with the same total 10: (2, 8) is found first and mirrors
  // from 8; (4, 6) only smooths the entries after it.
  gBest.BestRightTable[2] = 8;
  gBest.BestRightTable[4] = 6;
  RecomputeBestRight();
  ExpectTable({1000000, 1000000, 8, 9, 6, 7, 8, 9, 2, 1}, 0, 10);
}

TEST_F(BestRightTest, LargeRightCountSkipsTheMirror) {
  LowerBestRight(5, 20000);
  // Smoothing only; the best total 20005 has v >= 10000, so nothing is mirrored.
  EXPECT_EQ(Table()[4], 1000000);
  EXPECT_EQ(Table()[5], 20000);
  EXPECT_EQ(Table()[6], 20001);
  EXPECT_EQ(Table()[9999], 20000 + 9994);
  EXPECT_EQ(gBest.NoteBound, 20005);
}

TEST_F(BestRightTest, ImprovesOnlyInsideTheTableAndStrictlyBelow) {
  EXPECT_FALSE(BestRightImproves(0, 1));
  EXPECT_FALSE(BestRightImproves(10000, 1));
  EXPECT_FALSE(BestRightImproves(-1, 1));
  EXPECT_TRUE(BestRightImproves(1, 999999));
  EXPECT_TRUE(BestRightImproves(9999, 999999));
  EXPECT_FALSE(BestRightImproves(1, 1000000));
  LowerBestRight(1, 4);
  EXPECT_FALSE(BestRightImproves(1, 4));
  EXPECT_TRUE(BestRightImproves(1, 3));
  EXPECT_FALSE(BestRightImproves(2, 5));
  EXPECT_TRUE(BestRightImproves(2, 4));
}

TEST_F(BestRightTest, NoteIsBoundOverPowersWithoutOverflow) {
  gBest.NoteBound = 3;
  EXPECT_DOUBLE_EQ(RecordNote(1, 2), 1.0);
  EXPECT_DOUBLE_EQ(RecordNote(3, 4), 3.0 / 7.0);
  EXPECT_DOUBLE_EQ(RecordNote(INT32_MAX, INT32_MAX), 3.0 / 4294967294.0);
}

}  // namespace
}  // namespace quorvex
