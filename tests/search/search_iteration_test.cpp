#include "search/search_iteration.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "control/run_state.hpp"
#include "search/random.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using testing_support::CaptureOutput;
using testing_support::FolderTest;
using testing_support::ReadFile;

// How many generator steps lead from `from` to the current state (-1: none up to 100000).
int DrawsSince(uint32_t from) {
  RandomState saved = gRandom;
  int found = -1;
  gRandom.state = from;
  for (int draws = 0; draws <= 100000; ++draws, Rand()) {
    if (gRandom.state == saved.state) {
      found = draws;
      break;
    }
  }
  gRandom = saved;
  return found;
}

using SearchIterationTest = FolderTest;

TEST_F(SearchIterationTest, ChosenBasesRowOrderAndExactDrawCounts) {
  struct Case {
    int maxBase, workTerms, draws;
  };
  // Tail shuffle maxBase-6 draws (none below 7), row shuffle workTerms-1, weight 1.
  for (Case c : {Case{20, 8, 14 + 7 + 1}, Case{20, 5, 14 + 4 + 1}, Case{12, 12, 6 + 11 + 1},
                 Case{6, 6, 0 + 5 + 1}, Case{5, 5, 0 + 4 + 1}, Case{4, 2, 0 + 1 + 1},
                 Case{9, 6, 3 + 5 + 1}}) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
      SCOPED_TRACE(::testing::Message() << c.maxBase << "/" << c.workTerms << " seed " << seed);
      SeedRandom(seed);
      std::string out = CaptureOutput([&] { SearchIteration(3, c.maxBase, 2, c.workTerms); });
      EXPECT_EQ(DrawsSince(seed), c.draws);
      const int32_t* pool = gSearch.BasePool;
      std::string line;
      for (int i = 0; i < c.workTerms; ++i) line += std::to_string(pool[i]) + " ";
      EXPECT_EQ(out.substr(0, line.size() + 1), line + "\n");
      std::set<int> chosen(pool, pool + c.workTerms);
      ASSERT_EQ(chosen.size(), static_cast<size_t>(c.workTerms));
      EXPECT_EQ(*chosen.begin(), 1);
      EXPECT_EQ(*chosen.rbegin(), c.maxBase);
      for (int b = 1; b <= std::min(4, c.workTerms - 1); ++b) EXPECT_TRUE(chosen.count(b));
      if (c.workTerms == 6 && c.maxBase > 6) {
        EXPECT_FALSE(chosen.count(5));  // the one tail base never stays first
      }
      if (c.workTerms == 2) {
        EXPECT_EQ(line, "1 4 ");
      }
      for (int r = 0; r + 1 < c.workTerms; ++r) {
        EXPECT_GT(pool[gSearch.BaseOrder[r]], pool[gSearch.BaseOrder[r + 1]]);
      }
    }
  }
}

TEST_F(SearchIterationTest, ShuffleMovesEveryEntryAndRandomBelowScales) {
  const int32_t kIdentity[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  for (int count : {0, 1, 2, 3, 10}) {
    for (uint32_t seed = 1; seed <= 50; ++seed) {
      int32_t values[10];
      for (int i = 0; i < 10; ++i) values[i] = i;
      SeedRandom(seed);
      Shuffle(values, count);
      EXPECT_EQ(DrawsSince(seed), std::max(count - 1, 0));
      EXPECT_TRUE(std::is_permutation(values, values + 10, kIdentity));
      for (int i = 0; i < count && count >= 2; ++i) EXPECT_NE(values[i], i);
    }
  }
  for (int32_t a : {1, 3, 32768, 100000, 2147483647}) {
    for (int i = 0; i < 200; ++i) {
      RandomState before = gRandom;
      int64_t r = Rand();
      gRandom = before;
      EXPECT_EQ(RandomBelow(a), r * a / 32768);
    }
  }
}

TEST_F(SearchIterationTest, GuardsAndDegenerateIterations) {
  // Refused arguments: a message, and nothing else changes, not even the generator.
  struct Args {
    int maxBase, blockSize, workTerms;
  };
  for (Args a :
       {Args{10001, 20, 5}, Args{-1, 20, 1}, Args{50, 20, 0}, Args{250, 20, 201}, Args{50, 1, 5}}) {
    gRun.CurrentPower = 99;
    gRun.CurrentWeight = 3;
    gSearch.BasePool[0] = -7;
    std::string out =
        CaptureOutput([&] { SearchIteration(4, a.maxBase, a.blockSize, a.workTerms); });
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(gRun.CurrentPower, 99);
    EXPECT_EQ(gRun.CurrentWeight, 3);
    EXPECT_EQ(gSearch.BasePool[0], -7);
    EXPECT_EQ(DrawsSince(1), 0);
  }
  // maxBase below workTerms: silent, but the power and the suffix counters are still set.
  gRun.PassCounter = 2;
  EXPECT_EQ(CaptureOutput([] { SearchIteration(5, 9, 20, 10); }), "");
  EXPECT_EQ(gRun.CurrentPower, 5);
  EXPECT_EQ(gRun.CurrentWeight, 0);
  EXPECT_EQ(gRun.PassCounter, 0);
  EXPECT_EQ(DrawsSince(1), 0);
  // One row: its last entry is never zero, so no relation and the empty average.
  EXPECT_EQ(CaptureOutput([] { SearchIteration(4, 7, 20, 1); }), "7 \n\nAverage=0 terms\n");
  // At k = 60 every relation among 1, 2 and 3 has a coefficient beyond 32 bits.
  std::string out = CaptureOutput([] { SearchIteration(60, 3, 2, 3); });
  EXPECT_NE(out.find("\n\nAverage=0 terms\nDropped 2 relations too large for 32-bit "
                     "coefficients\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(gSearch.relationCount, 0);
}

TEST_F(SearchIterationTest, OrderBasesTiesAndConsistencyStops) {
  int32_t bases[] = {5, 9, 5, 1};
  std::copy(bases, bases + 4, gSearch.BasePool);
  EXPECT_EQ(CaptureOutput([] { OrderBases(4); }), "5 9 5 1 \n");
  EXPECT_EQ(std::vector<int>(gSearch.BaseOrder, gSearch.BaseOrder + 4),
            (std::vector<int>{1, 0, 2, 3}));
  struct Stop {
    std::vector<int32_t> pool;
    std::string output, bug;
  };
  for (const Stop& s :
       {Stop{{3, 0, 2}, "3 0 Error: Zero term\n\n", "Error: Zero term\n\n"},
        Stop{{3, -2}, "3 -2 \nError: Negative ind\n\n", "Error: Negative ind\n\n"}}) {
    std::copy(s.pool.begin(), s.pool.end(), gSearch.BasePool);
    int status = 0;
    EXPECT_EQ(CaptureOutput([&] { OrderBases(static_cast<int32_t>(s.pool.size())); }, &status),
              s.output);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(ReadFile("Bug.txt"), s.bug);
    std::remove("Bug.txt");
  }
}

TEST_F(SearchIterationTest, NtlFailureEndsThroughTheErrorLog) {
  int status = 0;
  std::string out = CaptureOutput([] { SearchIteration(-1, 10, 20, 10); }, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(ReadFile("Bug.txt").find("Error: NTL: "), std::string::npos) << out;
}

}  // namespace
}  // namespace quorvex
