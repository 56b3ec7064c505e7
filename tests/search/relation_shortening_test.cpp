#include "search/relation_shortening.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "control/run_state.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
using Rows = std::vector<std::vector<int32_t>>;

TEST(CombineTerms, MergesCancelsAndRefusesWhatCannotBeHeld) {
  const SolutionRecord a = MakeRecord({{9, 1}, {7, -2}, {4, 1}, {2, 1}});
  const SolutionRecord b = MakeRecord({{8, 1}, {7, -2}, {4, 2}, {1, -1}});
  SolutionRecord out;
  EXPECT_EQ(CombineTerms(a, b, -1, out), 5);
  EXPECT_EQ(TermsOf(out), "9*1 8*-1 4*-1 2*1 1*1");
  EXPECT_EQ(CombineTerms(a, b, +1, out), 6);
  EXPECT_EQ(TermsOf(out), "9*1 8*1 7*-4 4*3 2*1 1*-1");
  EXPECT_EQ(CombineTerms(a, a, -1, out), 0);
  EXPECT_EQ(CombineTerms(MakeRecord({}), b, -1, out), 4);
  EXPECT_EQ(TermsOf(out), "8*-1 7*2 4*-2 1*1");
  // Disjoint lists: the walk stops at 200 Terms; 199 is still a result.
  std::vector<Term> even, odd;
  for (int i = 0; i < 150; ++i) even.push_back({1000 - 2 * i, 1}), odd.push_back({999 - 2 * i, -1});
  EXPECT_EQ(CombineTerms(MakeRecord(even), MakeRecord(odd), 1, out), 200);
  EXPECT_EQ(out.terms[199].base, 801);
  odd.resize(49);
  EXPECT_EQ(CombineTerms(MakeRecord(even), MakeRecord(odd), 1, out), 199);
  // Beyond 32 bits in one multiplicity, or more than 65536 powers: as good as too long.
  EXPECT_EQ(CombineTerms(MakeRecord({{5, 2000000000}}), MakeRecord({{5, -2000000000}}), -1, out),
            200);
  const SolutionRecord most = MakeRecord({{5, 65535}});
  EXPECT_EQ(CombineTerms(most, MakeRecord({{3, -1}}), 1, out), 2);
  EXPECT_EQ(CombineTerms(most, MakeRecord({{3, -2}}), 1, out), 200);
}

// Puts the rows into RelationTable and returns J.
int32_t Shorten(const Rows& rows) {
  for (size_t r = 0; r < rows.size(); ++r) {
    std::copy(rows[r].begin(), rows[r].end(), gSearch.RelationTable[r]);
  }
  return ShortenRelations(static_cast<int32_t>(rows.size()), static_cast<int32_t>(rows[0].size()));
}

Rows Table(int32_t from, int32_t to, int32_t n) {
  Rows rows;
  for (int32_t j = from; j < to; ++j) {
    rows.emplace_back(gSearch.RelationTable[j], gSearch.RelationTable[j] + n);
  }
  return rows;
}

void Pool(const std::vector<int32_t>& bases) {
  std::copy(bases.begin(), bases.end(), gSearch.BasePool);
  CaptureOutput([&] { OrderBases(static_cast<int32_t>(bases.size())); });
}

using ShortenTest = FolderTest;

TEST_F(ShortenTest, TwoPassesOnHandMadeRows) {
  // Row 0 is changed by both passes, differently, each starting from the
  // extracted row and combining it with extracted rows only.
  EXPECT_EQ(Shorten({{2, -2, 0, 0}, {0, 3, -1, 0}, {-1, 1, 0, 0}}), 5);
  EXPECT_EQ(Table(3, 5, 4), (Rows{{2, 1, -1, 0}, {1, -1, 0, 0}}));
  // The harvest takes every row in table order, so row 0 three times.
  std::fill_n(gBest.BestRightTable, kTableSize, 0);  // nothing gets logged
  Pool({4, 3, 2, 1});
  EXPECT_EQ(CaptureOutput([] { HarvestRelations(5, 4); }),
            "(2,2)(1,3)(1,1)(1,3)(1,1)\nAverage=3 terms\n");
  // A one-sided sum has smaller-side measure 0 and is refused by the first
  // pass; the total measure of the second pass takes it.
  EXPECT_EQ(Shorten({{1, -1, 0}, {-1, 2, 0}}), 4);
  EXPECT_EQ(Table(2, 4, 3), (Rows{{0, 1, 0}, {0, 1, 0}}));
  // The only shorter combinations leave 32 bits; no partner at all.
  EXPECT_EQ(Shorten({{2147483647, 0, -2147483647}, {-1, 0, -2147483646}}), 2);
  EXPECT_EQ(Shorten({{3, -1, -2}}), 1);
}

TEST_F(ShortenTest, AgainstStoredSolutions) {
  gRun.CurrentPower = 2;
  StoreQuietly({{5, 1}, {4, -1}, {3, -1}});  // 5^2 = 4^2 + 3^2
  StoreQuietly({{7, 1}, {5, -2}, {1, 1}});   // 7^2 + 1^2 = 2 * 5^2
  const std::vector<int32_t> pool = {3, 13, 5, 12, 4, 7, 1};
  Pool(pool);
  std::vector<std::map<int, int>> relations = {
      {{5, 1}, {4, -1}, {3, -1}},             // the first stored solution itself
      {{7, -1}, {5, 2}, {1, -1}},             // the second with its sides exchanged
      {{5, 2}, {4, -2}, {3, -2}},             // twice the first
      {{13, 1}, {12, -1}, {4, -1}, {3, -1}},  // 13^2 = 12^2 + 4^2 + 3^2, shortened by the first
  };
  for (size_t r = 0; r < relations.size(); ++r) {
    for (int col = 0; col < 7; ++col) gSearch.RelationTable[r][col] = relations[r][pool[col]];
  }
  EXPECT_EQ(CaptureOutput([] { HarvestRelations(4, 7); }),
            "(1,2)(2,2)(2,4)(1,3)\nAverage=4 terms\n");
  ASSERT_EQ(gStore.count, 3);
  EXPECT_EQ(TermsOf(*gStore.inUseHead), "13*1 12*-1 5*-1");
  EXPECT_EQ(std::pair(gStore.inUseHead->leftCount, gStore.inUseHead->rightCount), std::pair(1, 2));
}

}  // namespace
}  // namespace quorvex
