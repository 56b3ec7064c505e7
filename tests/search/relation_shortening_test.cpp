#include "search/relation_shortening.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "control/run_state.hpp"
#include "search/search_iteration.hpp"
#include "search/search_test_util.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using search_testing::MakeRecord;
using search_testing::StoreQuietly;
using search_testing::TermList;
using search_testing::TermsOf;
using testing_support::CaptureOutput;
using testing_support::FolderTest;

TEST(CombineTerms, MergesCancelsAndRefusesWhatCannotBeHeld) {
  SolutionRecord a = MakeRecord({{9, 1}, {7, -2}, {4, 1}, {2, 1}});
  SolutionRecord b = MakeRecord({{8, 1}, {7, -2}, {4, 2}, {1, -1}});
  SolutionRecord out;
  EXPECT_EQ(CombineTerms(a, b, -1, out), 5);
  EXPECT_EQ(TermsOf(out), (TermList{{9, 1}, {8, -1}, {4, -1}, {2, 1}, {1, 1}}));
  EXPECT_EQ(CombineTerms(a, b, +1, out), 6);
  EXPECT_EQ(TermsOf(out), (TermList{{9, 1}, {8, 1}, {7, -4}, {4, 3}, {2, 1}, {1, -1}}));
  EXPECT_EQ(CombineTerms(a, a, -1, out), 0);
  EXPECT_EQ(CombineTerms(MakeRecord({}), b, -1, out), 4);
  EXPECT_EQ(TermsOf(out), (TermList{{8, -1}, {7, 2}, {4, -2}, {1, 1}}));

  // Disjoint lists: the walk stops at 200 Terms, and exactly 199 is still a result.
  TermList even, odd;
  for (int i = 0; i < 150; ++i) even.push_back({1000 - 2 * i, 1});
  for (int i = 0; i < 150; ++i) odd.push_back({999 - 2 * i, -1});
  EXPECT_EQ(CombineTerms(MakeRecord(even), MakeRecord(odd), 1, out), 200);
  EXPECT_EQ(out.terms[199].base, 801);
  odd.resize(49);
  EXPECT_EQ(CombineTerms(MakeRecord(even), MakeRecord(odd), 1, out), 199);
  EXPECT_EQ(out.terms[198].base, 702);

  // Beyond 32 bits, in one multiplicity or in m + n: counted as too long.
  EXPECT_EQ(CombineTerms(MakeRecord({{5, 2000000000}}), MakeRecord({{5, -2000000000}}), -1, out),
            200);
  EXPECT_EQ(CombineTerms(MakeRecord({{5, 2000000000}}), MakeRecord({{3, -2000000000}}), -1, out),
            200);
  EXPECT_EQ(CombineTerms(MakeRecord({{5, 2000000000}}), MakeRecord({{3, -147483647}}), 1, out), 2);
}

class ShortenTest : public FolderTest {
 protected:
  // Puts the rows into RelationTable and returns J.
  int32_t Shorten(const std::vector<std::vector<int32_t>>& rows) {
    for (size_t r = 0; r < rows.size(); ++r) {
      std::copy(rows[r].begin(), rows[r].end(), gSearch.RelationTable[r]);
    }
    return ShortenRelations(static_cast<int32_t>(rows.size()),
                            static_cast<int32_t>(rows[0].size()));
  }
  std::vector<int32_t> Row(int32_t j, int32_t n) {
    return std::vector<int32_t>(gSearch.RelationTable[j], gSearch.RelationTable[j] + n);
  }
};

TEST_F(ShortenTest, TwoPassesOnHandMadeRows) {
  // Row 0 is improved by both passes, differently, each starting from the extracted row.
  EXPECT_EQ(Shorten({{2, -2, 0, 0}, {0, 3, -1, 0}, {-1, 1, 0, 0}}), 5);
  EXPECT_EQ(Row(3, 4), (std::vector<int32_t>{2, 1, -1, 0}));
  EXPECT_EQ(Row(4, 4), (std::vector<int32_t>{1, -1, 0, 0}));
  EXPECT_EQ(Row(0, 4), (std::vector<int32_t>{2, -2, 0, 0}));

  // Harvest of that table: every row once, row 0 three times, in table order.
  for (int32_t i = 0; i < kTableSize; ++i) gBest.BestRightTable[i] = 0;  // nothing gets logged
  int32_t pool[] = {4, 3, 2, 1};
  std::copy(pool, pool + 4, gSearch.BasePool);
  CaptureOutput([] { OrderBases(4); });
  EXPECT_EQ(CaptureOutput([] { HarvestRelations(5, 4); }),
            "(2,2)(1,3)(1,1)(1,3)(1,1)\nAverage=3 terms\n");

  // A one-sided sum has smaller-side measure 0 and is refused by the first
  // pass; the total measure of the second pass takes it.
  EXPECT_EQ(Shorten({{1, -1, 0}, {-1, 2, 0}}), 4);
  EXPECT_EQ(Row(2, 3), (std::vector<int32_t>{0, 1, 0}));
  EXPECT_EQ(Row(3, 3), (std::vector<int32_t>{0, 1, 0}));

  // The only shorter combinations leave 32 bits, so nothing changes.
  EXPECT_EQ(Shorten({{2147483647, 0, -2147483647}, {-1, 0, -2147483646}}), 2);
  // No partner at all.
  EXPECT_EQ(Shorten({{3, -1, -2}}), 1);
}

TEST_F(ShortenTest, AgainstStoredSolutions) {
  gRun.CurrentPower = 2;
  StoreQuietly({{5, 1}, {4, -1}, {3, -1}});  // 5^2 = 4^2 + 3^2, slot 0
  StoreQuietly({{7, 1}, {5, -2}, {1, 1}});   // 7^2 + 1^2 = 2 * 5^2, slot 1
  int32_t pool[] = {3, 13, 5, 12, 4, 7, 1};
  std::copy(pool, pool + 7, gSearch.BasePool);
  CaptureOutput([] { OrderBases(7); });
  std::vector<std::map<int, int>> relations = {
      {{5, 1}, {4, -1}, {3, -1}},             // the stored solution itself
      {{7, -1}, {5, 2}, {1, -1}},             // the balanced one with its sides exchanged
      {{5, 2}, {4, -2}, {3, -2}},             // twice the first
      {{13, 1}, {12, -1}, {4, -1}, {3, -1}},  // 13^2 = 12^2 + 4^2 + 3^2, shortened by slot 0
  };
  for (size_t r = 0; r < relations.size(); ++r) {
    for (int col = 0; col < 7; ++col) gSearch.RelationTable[r][col] = relations[r][pool[col]];
  }
  EXPECT_EQ(CaptureOutput([] { HarvestRelations(4, 7); }),
            "(1,2)(2,2)(2,4)(1,3)\nAverage=4 terms\n");
  ASSERT_EQ(gStore.count, 3);
  EXPECT_EQ(TermsOf(*gStore.inUseHead), (TermList{{13, 1}, {12, -1}, {5, -1}}));
  EXPECT_EQ(gStore.inUseHead->leftCount, 1);
  EXPECT_EQ(gStore.inUseHead->rightCount, 2);
}

}  // namespace
}  // namespace quorvex
