// The solution record's canonical form and term order, and the best-size table.
#include <gtest/gtest.h>

#include "store/best_right_table.hpp"
#include "store/solution_record.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// The record of the Terms (m and n as given) after `step`: "m,n: Terms #signature".
template <typename Step>
std::string After(Step step, const std::vector<Term>& terms, int32_t m = 0, int32_t n = 0,
                  uint32_t signature = 0) {
  SolutionRecord r = MakeRecord(terms, m, n);
  r.signature = signature;
  step(r);
  return std::to_string(r.leftCount) + "," + std::to_string(r.rightCount) + ": " + TermsOf(r) +
         " #" + std::to_string(r.signature);
}

TEST(Record, CanonicalFormSortAndOrient) {
  const std::pair<std::string, std::string> cases[] = {
      {After(Canonicalize, {{5, -1}, {4, 1}, {3, 1}}, 2, 1), "1,2: 5*1 4*-1 3*-1 #536870912"},
      {After(Canonicalize, {{5, 2}, {4, -2}, {3, -2}}, 2, 4), "1,2: 5*1 4*-1 3*-1 #536870912"},
      {After(Canonicalize, {{5, 4}, {4, -4}, {3, -8}}, 4, 12), "1,3: 5*1 4*-1 3*-2 #2684354560"},
      // Only factors of two are taken out.
      {After(Canonicalize, {{5, 6}, {4, -6}, {3, -6}}, 6, 12), "3,6: 5*3 4*-3 3*-3 #3758096385"},
      {After(Canonicalize, {{7, 1}}, 1, 1), "1,1: 7*1 #2147483648"},
      {After(Canonicalize, {{7, -1}}, 0, 1), "0,1: 7*-1 #4294967295"},
      {After(Canonicalize, {{7, 1}}, 1, 0), "0,1: 7*-1 #4294967295"},  // m > n: negated
      // A tie keeps the signs, so a balanced record and its mirror image differ.
      {After(Canonicalize, {{9, 1}, {8, 1}, {7, -1}, {6, -1}}, 2, 2),
       "2,2: 9*1 8*1 7*-1 6*-1 #805306368"},
      {After(Canonicalize, {{9, -1}, {8, -1}, {7, 1}, {6, 1}}, 2, 2),
       "2,2: 9*-1 8*-1 7*1 6*1 #3221225472"},
      {After(SortTerms, {{3, 1}, {4, 1}, {5, -1}}, 2, 1), "2,1: 5*-1 4*1 3*1 #0"},
      // Equal bases: the first is swapped to the end.
      {After(SortTerms, {{3, 11}, {3, 22}, {5, 33}}), "0,0: 5*33 3*22 3*11 #0"},
      {After(SortTerms, {{1, 1}, {7, -2}, {4, 3}, {9, -4}, {4, 5}}, 9, 6),
       "9,6: 9*-4 7*-2 4*3 4*5 1*1 #0"},
      // Counts and orients; no signature, no halving.
      {After(OrientRecord, {{5, 1}, {4, 1}, {3, -1}}, 77, 77, 12345), "1,2: 5*-1 4*-1 3*1 #12345"},
      {After(OrientRecord, {{5, 1}, {4, -1}}), "1,1: 5*1 4*-1 #0"},
      {After(OrientRecord, {{5, 2}, {4, -4}}), "2,4: 5*2 4*-4 #0"},
      {After(OrientRecord, {}, 5, 6), "0,0:  #0"},
      // Sums beyond 32 bits saturate instead of wrapping.
      {After(OrientRecord, {{5, INT32_MAX}, {4, INT32_MAX}, {3, -1}}),
       "1,2147483647: 5*-2147483647 4*-2147483647 3*1 #0"},
  };
  for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST_F(FolderTest, InconsistentOrEmptyRecordsAreFatal) {
  for (SolutionRecord r : {
           MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 3, 4),  // even multiplicities, odd m
           MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 2, 3),  // odd n
           MakeRecord({}, 0, 0),                          // would halve for ever
           MakeRecord({{3, 0}, {2, 0}}, 0, 0),
       }) {
    EXPECT_EQ(Ended([&] { Canonicalize(r); }), Fatal("Internal error\n"));
  }
  std::string log;
  for (int i = 0; i < 4; ++i) log += "Error: Internal error\n\n";
  EXPECT_EQ(ReadFile("Bug.txt"), log);
}

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
  const std::pair<std::vector<std::pair<int32_t, int32_t>>, std::vector<std::string>> cases[] = {
      {{}, {"1000000... | 1000001", "1000000... | 1000000"}},
      {{{1, 2}}, {"1000000 2 1 0... | 3", "1000000 2 1 0... | 3"}},
      {{{1, 4}}, {"1000000 4 5 6 1 0... | 5", "1000000 4 5 6 1 0... | 5"}},
      {{{2, 2}}, {"1000000 1000000 2 0... | 3", "3 2 1 0... | 3", "3 2 1 0... | 3"}},
      {{{3, 3}},
       {"1000000 1000000 1000000 3 0... | 4", "4 3 2 0... | 3", "3 2 1 0... | 3",
        "3 2 1 0... | 3"}},
  };
  for (const auto& [lowered, tables] : cases) {
    ResetBestRight();
    for (const auto& [m, n] : lowered) LowerBestRight(m, n);
    for (const std::string& expected : tables) {
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
  for (auto [m, n] :
       std::vector<std::pair<int32_t, int32_t>>{{0, 1}, {10000, 1}, {-1, 1}, {1, 1000000}}) {
    EXPECT_FALSE(BestRightImproves(m, n)) << m << "," << n;
  }
  EXPECT_TRUE(BestRightImproves(9999, 999999));
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
