#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "base/run_state.hpp"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/relation_shortening.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// Generator steps from `from` to the current state (-1: not within 100000).
int DrawsSince(uint32_t from) {
  const RandomState now = gRandom;
  gRandom.state = from;
  int draws = 0;
  for (; gRandom.state != now.state && draws <= 100000; ++draws) Rand();
  gRandom = now;
  return draws > 100000 ? -1 : draws;
}

using SearchIterationTest = FolderTest;

TEST_F(SearchIterationTest, ChosenBasesRowOrderAndExactDrawCounts) {
  // {maxBase, workTerms, draws}: tail maxBase-6 (none below 7), rows workTerms-1, weight 1.
  const int cases[][3] = {{20, 8, 14 + 7 + 1}, {20, 5, 14 + 4 + 1}, {12, 12, 6 + 11 + 1},
                          {6, 6, 5 + 1},       {5, 5, 4 + 1},       {4, 2, 1 + 1},
                          {9, 6, 3 + 5 + 1}};
  for (const auto& [maxBase, n, draws] : cases) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
      SCOPED_TRACE(::testing::Message() << maxBase << "/" << n << " seed " << seed);
      SeedRandom(seed);
      const std::string out = CaptureOutput([&] { SearchIteration(3, maxBase, 2, n); });
      EXPECT_EQ(DrawsSince(seed), draws);
      const int32_t* pool = gSearch.BasePool;
      std::string line;
      for (int i = 0; i < n; ++i) line += std::to_string(pool[i]) + " ";
      EXPECT_EQ(out.substr(0, line.size() + 1), line + "\n");  // row order, not sorted
      const std::set<int> chosen(pool, pool + n);
      EXPECT_EQ(chosen.size(), static_cast<size_t>(n));
      EXPECT_EQ(*chosen.rbegin(), maxBase);
      for (int b = 1; b <= std::min(4, n - 1); ++b) EXPECT_EQ(chosen.count(b), 1u);
      EXPECT_FALSE(n == 6 && maxBase > 6 && chosen.count(5));  // never left in place
      EXPECT_TRUE(n != 2 || line == "1 4 ");
      for (int r = 0; r + 1 < n; ++r) {
        EXPECT_GT(pool[gSearch.BaseOrder[r]], pool[gSearch.BaseOrder[r + 1]]);
      }
    }
  }
}

TEST_F(SearchIterationTest, ShuffleMovesEveryEntry) {
  const std::vector<int32_t> identity = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  for (int count : {0, 1, 2, 3, 10}) {
    for (uint32_t seed = 1; seed <= 50; ++seed) {
      std::vector<int32_t> values = identity;
      SeedRandom(seed);
      Shuffle(values.data(), count);
      EXPECT_EQ(DrawsSince(seed), std::max(count - 1, 0));
      EXPECT_TRUE(std::is_permutation(values.begin(), values.end(), identity.begin()));
      for (int i = 0; i < count && count >= 2; ++i) EXPECT_NE(values[i], i);
    }
  }
}

TEST_F(SearchIterationTest, GuardsAndDegenerateIterations) {
  // Refused arguments: a message, and nothing else changes, not even the generator.
  const int refused[][3] = {{10001, 20, 5}, {-1, 20, 1}, {250, 20, 201}, {50, 1, 5}};
  for (const auto& [maxBase, blockSize, n] : refused) {
    gRun.CurrentPower = 99;
    gSearch.BasePool[0] = -7;
    EXPECT_NE(CaptureOutput([&] { SearchIteration(4, maxBase, blockSize, n); }), "");
    EXPECT_EQ(std::pair(gRun.CurrentPower, gSearch.BasePool[0]), std::pair(99, -7));
    EXPECT_EQ(DrawsSince(1), 0);
  }
  EXPECT_EQ(CaptureOutput([] { SearchIteration(-1, 10, 20, 10); }), "power -1 is below 0\n");
  // maxBase below workTerms: silent, but the power and the suffix counters are still set.
  gRun.CurrentWeight = 3;
  gRun.PassCounter = 2;
  EXPECT_EQ(CaptureOutput([] { SearchIteration(5, 9, 20, 10); }), "");
  EXPECT_EQ(std::vector<int>({gRun.CurrentPower, gRun.CurrentWeight, gRun.PassCounter}),
            std::vector<int>({5, 0, 0}));
  EXPECT_EQ(DrawsSince(1), 0);
  // One row: its last entry is never zero, so no relation and the empty average.
  EXPECT_EQ(CaptureOutput([] { SearchIteration(4, 7, 20, 1); }), "7 \n\nAverage=0 terms\n");
  // At k = 60 every relation among 1, 2 and 3 has a coefficient beyond 32 bits.
  EXPECT_TRUE(Contains(CaptureOutput([] { SearchIteration(60, 3, 2, 3); }),
                       "\n\nAverage=0 terms\nDropped 2 relations beyond 32-bit counts\n"));
}

// The smallest identity of two fourth powers on each side, which a search
// that works must find: from this seed at the ninth iteration.
TEST_F(SearchIterationTest, FindsTheSmallestFourthPowerPairIdentity) {
  SeedRandom(20);
  // A balanced solution keeps the sides it was found with.
  auto found = [] {
    const std::string log = ReadFile("DATA4.TXT");
    return Contains(log, "(4,2,2) 158+59=134+133 (0,0)\n") ||
           Contains(log, "(4,2,2) 134+133=158+59 (0,0)\n");
  };
  int iterations = 0;
  for (; iterations < 30 && !found(); ++iterations) {
    CaptureOutput([] { SearchIteration(4, 159, 20, 159); });
  }
  EXPECT_LT(iterations, 30);
}

TEST_F(SearchIterationTest, OrderBasesTiesAndConsistencyStops) {
  const std::vector<int32_t> pool = {5, 9, 5, 1};
  std::copy(pool.begin(), pool.end(), gSearch.BasePool);
  EXPECT_EQ(CaptureOutput([] { OrderBases(4); }), "5 9 5 1 \n");
  EXPECT_EQ(std::vector<int>(gSearch.BaseOrder, gSearch.BaseOrder + 4),
            (std::vector<int>{1, 0, 2, 3}));  // equal bases: the lower index first
  for (auto [bases, output] : std::vector<std::pair<std::vector<int32_t>, std::string>>{
           {{3, 0, 2}, "3 0 Error: Zero term\n\n"}, {{3, -2}, "3 -2 \nError: Negative ind\n\n"}}) {
    std::copy(bases.begin(), bases.end(), gSearch.BasePool);
    EXPECT_EQ(Ended([&] { OrderBases(static_cast<int32_t>(bases.size())); }), Outcome(output, 1));
    EXPECT_EQ(ReadFile("Bug.txt"), output.substr(output.find("Error")));
    std::remove("Bug.txt");
  }
}

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
  // Beyond 32 bits in one multiplicity, or a side of 2^31 powers or more: as
  // good as too long, since no record's counts could hold it.
  EXPECT_EQ(CombineTerms(MakeRecord({{5, 2000000000}}), MakeRecord({{5, -2000000000}}), -1, out),
            200);
  const SolutionRecord most = MakeRecord({{5, INT32_MAX - 1}, {2, -INT32_MAX}});
  EXPECT_EQ(CombineTerms(most, MakeRecord({{3, 1}}), 1, out), 3);
  EXPECT_EQ(CombineTerms(most, MakeRecord({{3, 2}}), 1, out), 200);
  EXPECT_EQ(CombineTerms(most, MakeRecord({{3, -1}}), 1, out), 200);
}

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

// Runs the cross-reduction and returns its console output; STATS.TXT must hold
// exactly its statistics lines.
std::string Reduce(int32_t weight, int32_t passes = 3) {
  std::remove("STATS.TXT");
  std::string out = CaptureOutput([&] { CrossReductionPass(weight, passes); });
  std::string line, statistics;
  for (std::istringstream in(out); std::getline(in, line);) {
    line = line.substr(line.rfind('\r') + 1);
    if (line.rfind("Weight ", 0) == 0) statistics += line + "\n";
  }
  EXPECT_EQ(ReadFile("STATS.TXT"), statistics);
  return out;
}

std::string Line(int w, int pass, const char* average = "3.000000 (from 3 to 3)") {
  return "Weight " + std::to_string(w) + ", pass " + std::to_string(pass) + ": average terms " +
         average + "\n";
}

using CrossReductionTest = FolderTest;

TEST_F(CrossReductionTest, StoresThatCannotImprove) {
  gRun.CurrentPower = 2;
  EXPECT_EQ(Reduce(8), "");  // empty store: no line, no draw
  EXPECT_EQ(gRandom.state, 1u);
  StoreQuietly({{5, 1}, {4, -1}, {3, -1}});
  EXPECT_EQ(Reduce(8), Line(8, 1) + Line(4, 1) + Line(2, 1) + Line(1, 1));
  EXPECT_EQ(std::pair(gRun.CurrentWeight, gRun.PassCounter), std::pair(1, 1));
  const uint32_t after = gRandom.state;  // one permutation of 9999 draws per weight
  gRandom = RandomState{};
  for (int i = 0; i < 4 * 9999; ++i) Rand();
  EXPECT_EQ(gRandom.state, after);
  // A negative weight halves towards zero.
  EXPECT_EQ(Reduce(-5), Line(-5, 1) + Line(-2, 1) + Line(-1, 1));
  // A stop ends the run at the first record: no statistics, no further weight.
  gRun.StopRequested = 1;
  EXPECT_EQ(Reduce(8), "");
  EXPECT_EQ(gRun.CurrentWeight, 8);
  gRun.StopRequested = 0;

  // Mirror images: their sum is empty and their difference twice as long.
  ResetStore();
  StoreQuietly({{7, 1}, {5, -2}, {1, 1}});
  StoreQuietly({{7, -1}, {5, 2}, {1, -1}});
  EXPECT_EQ(Reduce(1), Line(1, 1, "4.000000 (from 4 to 4)"));
  EXPECT_EQ(gStore.count, 2);

  // 25 records with disjoint bases (k = 1): progress after every tenth.
  ResetStore();
  gRun.CurrentPower = 1;
  for (int i = 0; i < 25; ++i)
    StoreQuietly({{200 * i + 3, -1}, {100 * i + 2, 1}, {100 * i + 1, 1}});
  EXPECT_EQ(Reduce(2), "2(1): 10/25    \r2(1): 20/25    \r" + Line(2, 1) +
                           "1(1): 10/25    \r1(1): 20/25    \r" + Line(1, 1));
}

TEST_F(CrossReductionTest, RecordImprovedIntoAStoredOneIsRemoved) {
  gRun.CurrentPower = 2;
  for (int32_t passes : {3, 1}) {
    ResetStore();
    StoreQuietly({{5, 1}, {4, -1}, {3, -1}});             // 5^2 = 4^2 + 3^2
    StoreQuietly({{13, 1}, {12, -1}, {5, -1}});           // 13^2 = 12^2 + 5^2
    StoreQuietly({{13, 1}, {12, -1}, {4, -1}, {3, -1}});  // their sum, improved into the second
    EXPECT_EQ(Reduce(1, passes), Line(1, 1) + (passes == 1 ? "" : Line(1, 2)));
    EXPECT_EQ(gStore.count, 2);
    EXPECT_EQ(gStore.slots[2].termCount, 0);
    EXPECT_EQ(TermsOf(gStore.slots[1]), "13*1 12*-1 5*-1");
  }
}

TEST_F(CrossReductionTest, LogLinesCarryTheWeightAndThePassUnderWay) {
  // k = 1 solutions and a table that knows none of them, so the passes log
  // each new best size; with the first permutation of the unseeded generator
  // one of them is only reached in the second pass at weight 8.
  gRun.CurrentPower = 1;
  StoreQuietly({{24, -1}, {12, 1}, {8, 1}, {2, 2}});
  StoreQuietly({{15, -1}, {10, 1}, {6, 1}, {1, -1}});
  StoreQuietly({{17, -1}, {9, 1}, {8, 1}});
  StoreQuietly({{11, -1}, {8, 1}, {4, 1}, {1, -1}});
  StoreQuietly({{20, -1}, {12, 1}, {10, -1}, {9, 1}, {7, 1}, {2, 1}});
  StoreQuietly({{17, -1}, {9, 1}, {5, 1}, {2, 1}, {1, 1}});
  ResetBestRight();
  const std::string out = Reduce(8);
  EXPECT_TRUE(Contains(out, "(1,2,2) 11+1=8+4 (8,1)\nWeight 8, pass 2: ")) << out;
  // The suffixes of the logged lines and the statistics lines, in order: a
  // line carries the weight and the passes done before its own pass.
  std::string line, logged, order;
  for (std::istringstream in(out); std::getline(in, line);) {
    line = line.substr(line.rfind('\r') + 1);
    if (line[0] == '(') logged += line + "\n";
    if (line[0] == '(') order += line.substr(line.rfind(" (") + 1) + " ";
    if (line[0] == 'W') order += line.substr(0, line.find(':')) + "; ";
  }
  EXPECT_EQ(order,
            "(8,0) (8,0) (8,0) (8,0) (8,0) (8,0) Weight 8, pass 1; (8,1) Weight 8, pass 2; "
            "Weight 8, pass 3; Weight 4, pass 1; Weight 2, pass 1; Weight 1, pass 1; ");
  EXPECT_EQ(ReadFile("DATA1.TXT"), logged);
}

TEST(Random, UnseededSequenceAndSeeding) {
  gRandom = RandomState{};
  for (int32_t expected : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(Rand(), expected);
  SeedRandom(1);
  EXPECT_EQ(Rand(), 41);
  SeedRandom(0);
  EXPECT_EQ(Rand(), 38);  // 2531011 >> 16 = 38
}

}  // namespace
}  // namespace quorvex
