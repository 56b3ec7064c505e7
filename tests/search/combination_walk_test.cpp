// A walk must end where the loops that add one partner again and again end,
// and on its way write exactly the lines they write: random tables and stores
// are run both ways (walks with the quick answers, one step at a time with the
// exhaustive ones) and compared; multiples near 2^31, which one step at a
// time would take hours over, end at once where they must.
#include <random>

#include "base/run_state.hpp"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/relation_shortening.hpp"
#include "search/search_iteration.hpp"
#include "search/shorten_against_store.hpp"
#include "store/best_right_table.hpp"
#include "store/checkpoint.hpp"
#include "store/solution_store.hpp"
#include "store/store_scan.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
using Rows = std::vector<std::vector<int32_t>>;

constexpr StoreQueries kBothWays[] = {StoreQueries::Quick, StoreQueries::Exhaustive};

Rows Shortened(const Rows& rows, StoreQueries queries) {
  SetStoreQueries(queries);
  const int32_t n = static_cast<int32_t>(rows[0].size());
  for (size_t r = 0; r < rows.size(); ++r) {
    std::copy(rows[r].begin(), rows[r].end(), gSearch.RelationTable[r]);
  }
  const int32_t total = ShortenRelations(static_cast<int32_t>(rows.size()), n);
  SetStoreQueries(StoreQueries::Quick);
  Rows table;
  for (int32_t j = 0; j < total; ++j) {
    table.emplace_back(gSearch.RelationTable[j], gSearch.RelationTable[j] + n);
  }
  return table;
}

TEST(CombinationWalk, RelationRowsEndWhereSingleStepsEnd) {
  std::mt19937 rng(11);
  auto below = [&rng](int32_t n) { return static_cast<int32_t>(rng() % static_cast<uint32_t>(n)); };
  int32_t walked = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const int32_t n = 2 + below(7);
    const int32_t small = 1 + below(3);
    const int32_t rowCount = small + 1 + below(3);
    Rows rows(static_cast<size_t>(rowCount), std::vector<int32_t>(static_cast<size_t>(n)));
    // Short rows, then long ones: multiples of the short ones plus a little.
    for (int32_t r = 0; r < rowCount; ++r) {
      for (int32_t c = 0; c < n; ++c) rows[r][c] = below(7) - 3;
      for (int32_t s = 0; r >= small && s < small; ++s) {
        const int32_t k = below(2) == 0 ? 0 : below(4000) - 2000;
        for (int32_t c = 0; c < n; ++c) rows[r][c] += k * rows[s][c];
      }
    }
    const Rows quick = Shortened(rows, StoreQueries::Quick);
    EXPECT_EQ(quick, Shortened(rows, StoreQueries::Exhaustive)) << "trial " << trial;
    walked += quick.size() > rows.size() ? 1 : 0;
  }
  EXPECT_GT(walked, 200);  // most tables do change
}

TEST(CombinationWalk, RowsNear32BitsWalkAtOnce) {
  // Subtracting the first row 2 * 10^9 times; one step at a time, for hours.
  const int32_t k = 2000000000;
  const Rows rows = {{1, -1, 0}, {k, 1 - k, 1}};
  const Rows expected = {{1, -1, 0}, {k, 1 - k, 1}, {2, -1, 1}, {1, 0, 1}};
  EXPECT_EQ(Shortened(rows, StoreQueries::Quick), expected);
}

// A random record over the bases 1..12 (a base twice now and then), with
// multiplicities up to `largest`: none of them needs to be true.
SolutionRecord RandomRecord(std::mt19937& rng, int32_t terms, int32_t largest) {
  std::vector<Term> list;
  for (int32_t i = 0; i < terms; ++i) {
    const int32_t base = 1 + static_cast<int32_t>(rng() % 12);
    const bool taken =
        std::any_of(list.begin(), list.end(), [&](const Term& t) { return t.base == base; });
    if (taken && rng() % 8 != 0) continue;
    const int32_t magnitude = 1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(largest));
    list.push_back({base, rng() % 2 == 0 ? magnitude : -magnitude});
  }
  SolutionRecord record = MakeRecord(list);
  SortTerms(record);
  return record;
}

// Hands out the free slots that the pass drawn from `seed` visits one after
// the other, from the 100th on: a sweep that resumes after a partner must not
// pass over the one standing right next to it (in a full store, every one).
void FreeSlotsSideBySide(uint32_t seed) {
  SeedRandom(seed);
  DrawSlotPermutation();
  SolutionRecord** link = &gStore.freeHead;
  for (int32_t i = 0; i < kStoreSlots; ++i) {
    SolutionRecord& slot = gStore.slots[gCross.SlotPermutation[(i + 100) % kStoreSlots]];
    *link = &slot;
    link = &slot.next;
  }
  *link = nullptr;
}

// Everything a scenario prints and writes.
std::string RunScenario(uint32_t seed, StoreQueries queries) {
  ResetEngineState();
  FreeSlotsSideBySide(seed);
  SetStoreQueries(queries);
  std::mt19937 rng(seed);
  std::string output = CaptureOutput([&] {
    gRun.CurrentPower = 3;
    for (int i = 0; i < 24; ++i) {
      SolutionRecord record =
          i % 3 == 0 ? RandomRecord(rng, 2 + rng() % 7, 800) : RandomRecord(rng, 2 + rng() % 3, 3);
      InsertRecord(record, nullptr, InsertQuiet);
    }
    // A fresh table: the walks' evaluations lower it and log lines.
    ResetBestRight();
    for (int i = 0; i < 6; ++i) {
      SolutionRecord candidate = RandomRecord(rng, 2 + rng() % 6, 1 + rng() % 800);
      EvaluateCandidate(candidate);
      if (candidate.leftCount + candidate.rightCount > 0) ShortenAgainstStore(candidate);
    }
    SeedRandom(seed);
    // A negative weight would make one step at a time walk to 2^31.
    const int32_t weights[] = {1, 8, 2};
    CrossReductionPass(weights[seed % 3], 2);
    SaveCheckpoint(3);
  });
  SetStoreQueries(StoreQueries::Quick);
  for (const char* file : {"DATA3.TXT", "STATS.TXT", "DATA3.BIN"}) {
    output += std::string("== ") + file + "\n" + ReadFile(file);
    std::remove(file);
  }
  return output;
}

using StoreWalks = FolderTest;

TEST_F(StoreWalks, ShorteningAndCrossReductionWriteWhatSingleStepsWrite) {
  size_t logged = 0;
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const std::string quick = RunScenario(seed, StoreQueries::Quick);
    EXPECT_TRUE(quick == RunScenario(seed, StoreQueries::Exhaustive)) << "seed " << seed;
    logged += quick.size();
  }
  EXPECT_GT(logged, 40000u);  // long walks that log at many steps
}

TEST_F(StoreWalks, MultiplesNear2To31EndAtOnce) {
  // 2^3 = 8 * 1^3, and 2^3 * N = 8N * 1^3 with 8N just below 2^31: the
  // cross-reduction walks the large one down to the small one, finds it
  // stored and drops it; the shortening walks a candidate of the same kind
  // down to the stored one and leaves the store alone.
  const int32_t n = 268435455;
  gRun.CurrentPower = 3;
  StoreQuietly({{2, 1}, {1, -8}});
  StoreQuietly({{2, n}, {1, -8 * n}});
  CaptureOutput([] { CrossReductionPass(1, 3); });
  EXPECT_EQ(gStore.count, 1);
  SolutionRecord candidate = MakeRecord({{2, n - 2}, {1, -8 * (n - 2)}});
  EXPECT_TRUE(ShortenAgainstStore(candidate));
  EXPECT_EQ(gStore.count, 1);
  EXPECT_EQ(TermsOf(gStore.slots[0]), "2*1 1*-8");
}

TEST_F(StoreWalks, AStepToTwoHundredTermsIsNotTaken) {
  // 200 Terms, one of them 2^3 once: taking 2^3 = 8 * 1^3 away cancels it
  // (199 Terms, 9 powers fewer); the next step would bring it back as 200
  // Terms, shorter still, but too long to take.
  gRun.CurrentPower = 3;
  StoreQuietly({{2, 1}, {1, -8}});
  std::vector<Term> terms;
  for (int32_t base = 300; base > 102; --base) terms.push_back({base, base % 2 == 0 ? 1 : -1});
  terms.push_back({2, 1});
  terms.push_back({1, -8000});
  SolutionRecord candidate = MakeRecord(terms);
  ASSERT_EQ(candidate.termCount, 200);
  CaptureOutput([&] { EXPECT_TRUE(ShortenAgainstStore(candidate)); });
  ASSERT_EQ(gStore.count, 2);
  const SolutionRecord& stored = gStore.slots[1];
  EXPECT_EQ(stored.termCount, 199);
  EXPECT_EQ(stored.terms[198].base, 1);
  EXPECT_EQ(std::abs(stored.terms[198].multiplicity), 7992);
}

}  // namespace
}  // namespace quorvex
