#include "search/search_iteration.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "control/run_state.hpp"
#include "search/random.hpp"
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
  for (auto [maxBase, n, draws] : std::vector<std::tuple<int, int, int>>{{20, 8, 14 + 7 + 1},
                                                                         {20, 5, 14 + 4 + 1},
                                                                         {12, 12, 6 + 11 + 1},
                                                                         {6, 6, 5 + 1},
                                                                         {5, 5, 4 + 1},
                                                                         {4, 2, 1 + 1},
                                                                         {9, 6, 3 + 5 + 1}}) {
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

TEST_F(SearchIterationTest, ShuffleMovesEveryEntryAndRandomBelowScales) {
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
  for (int32_t a : {1, 3, 32768, 100000, 2147483647}) {
    for (int i = 0; i < 200; ++i) {
      const RandomState before = gRandom;
      const int64_t r = Rand();
      gRandom = before;
      EXPECT_EQ(RandomBelow(a), r * a / 32768);
    }
  }
}

TEST_F(SearchIterationTest, GuardsAndDegenerateIterations) {
  // Refused arguments: a message, and nothing else changes, not even the generator.
  for (auto [maxBase, blockSize, n] : std::vector<std::tuple<int, int, int>>{
           {10001, 20, 5}, {-1, 20, 1}, {250, 20, 201}, {50, 1, 5}}) {
    gRun.CurrentPower = 99;
    gSearch.BasePool[0] = -7;
    EXPECT_NE(CaptureOutput([&] { SearchIteration(4, maxBase, blockSize, n); }), "");
    EXPECT_EQ(std::pair(gRun.CurrentPower, gSearch.BasePool[0]), std::pair(99, -7));
    EXPECT_EQ(DrawsSince(1), 0);
  }
  EXPECT_EQ(CaptureOutput([] { SearchIteration(101, 10, 20, 10); }),
            "power 101 is outside 0..100\n");
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
                       "\n\nAverage=0 terms\nDropped 2 relations with more than 65536 powers\n"));
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

}  // namespace
}  // namespace quorvex
