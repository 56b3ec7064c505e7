// The store's quick answers must give exactly what its exhaustive answers
// give (every record offered and merged in full, every duplicate check and
// eviction by walking): seeded searches over a full store and
// cross-reductions at several weights, compared on the whole console output
// and the bytes of every file written; and, slot by slot, the offers of a scan.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/checkpoint.hpp"
#include "store/record_codec.hpp"
#include "store/solution_store.hpp"
#include "store/store_index.hpp"
#include "store/store_scan.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// A full store of 10000 k = 5 solutions, checkpointed by a seeded search.
const std::string kData = std::string(QUORVEX_SOURCE_DIR) + "/tests/data";
const std::string kFullStore = kData + "/DATA5.BIN";

// The first `count` entries of the full store, as a checkpoint file.
std::string FirstEntries(int32_t count) {
  std::string head;
  AppendInt32(head, count);
  int32_t taken = 0;
  ReadCheckpoint(
      5,
      [&](SolutionRecord& record) {
        std::vector<int32_t> words;
        if (taken++ < count) AppendRecord(words, record);
        for (const int32_t word : words) AppendInt32(head, word);
      },
      false, kData);
  return head;
}

// Records the counting cannot take: a repeated base, a base beyond the
// counted range, one out of descending order. They need not be true; both
// ways must only treat them alike.
void InsertUnusualRecords() {
  for (SolutionRecord r : {MakeRecord({{97, 1}, {97, 2}, {60, -1}, {41, -2}, {13, -1}, {2, 1}}),
                           MakeRecord({{40000, 2}, {97, -1}, {41, -1}, {7, -1}, {3, 1}}),
                           MakeRecord({{61, 1}, {88, -1}, {43, 1}, {29, -1}, {11, -2}, {5, 2}})}) {
    InsertRecord(r, nullptr, InsertQuiet);
  }
}

// Runs `scenario` from `checkpoint` in a folder of its own, with the store's
// answers given each way; everything the two print and write must agree.
void ExpectSameRuns(const std::string& checkpoint, const std::function<void()>& scenario) {
  std::string runs[2];
  for (const StoreQueries queries : {StoreQueries::Quick, StoreQueries::Exhaustive}) {
    const std::string name = queries == StoreQueries::Quick ? "quick" : "exhaustive";
    std::filesystem::create_directory(name);
    std::filesystem::current_path(name);
    ResetEngineState();
    SetStoreQueries(queries);
    WriteFile("DATA5.BIN", checkpoint);
    std::string& everything = runs[queries == StoreQueries::Quick ? 0 : 1];
    everything = CaptureOutput([&] {
      LoadCheckpoint(5);
      InsertUnusualRecords();
      scenario();
      SaveCheckpoint(5);
    });
    SetStoreQueries(StoreQueries::Quick);
    for (const char* file : {"DATA5.TXT", "STATS.TXT", "DATA5.BIN"}) {
      everything += std::string("== ") + file + "\n" + ReadFile(file);
    }
    std::filesystem::current_path("..");
  }
  EXPECT_GT(runs[0].size(), 1000u);
  EXPECT_TRUE(runs[0] == runs[1]) << "the two ways differ";
}

using StoreQueriesTest = FolderTest;

TEST_F(StoreQueriesTest, SearchOverAFullStoreEvictsAndLogsAlike) {
  ExpectSameRuns(ReadFile(kFullStore), [] {
    SeedRandom(3);
    // A table lowered only by these iterations, so that candidates and their
    // combinations get logged.
    ResetBestRight();
    for (int i = 0; i < 2; ++i) SearchIteration(5, 60 + 10 * i, 10, 30);
    // Bases from 256 on share their bits with others.
    SearchIteration(5, 700, 10, 30);
    EXPECT_EQ(gStore.count, kStoreSlots);
  });
}

TEST_F(StoreQueriesTest, CrossReductionAtSeveralWeightsAlike) {
  ExpectSameRuns(FirstEntries(400), [] {
    SeedRandom(8);
    CrossReductionPass(4, 2);
    SearchIteration(5, 70, 10, 40);
    // A negative weight favours balanced sides, so even records that share no
    // base can improve one another.
    CrossReductionPass(-1, 1);
  });
}

bool HasBase(const std::vector<Term>& list, int32_t base) {
  return std::any_of(list.begin(), list.end(), [&](const Term& t) { return t.base == base; });
}

// The list with `terms` more Terms of distinct random bases from [1, largest],
// as a record with its Terms in descending base order; positive in `lean`
// eighths of the Terms, so that some records have one side far smaller.
SolutionRecord AddRandom(std::mt19937& random, std::vector<Term> list, int32_t terms,
                         int32_t largest, uint32_t lean = 4) {
  for (const size_t size = list.size() + static_cast<size_t>(terms); list.size() < size;) {
    const int32_t base = 1 + static_cast<int32_t>(random() % static_cast<uint32_t>(largest));
    const int32_t magnitude = random() % 4 == 0 ? 2 + static_cast<int32_t>(random() % 4) : 1;
    if (!HasBase(list, base)) list.push_back({base, random() % 8 < lean ? magnitude : -magnitude});
  }
  std::sort(list.begin(), list.end(), [](const Term& a, const Term& b) { return a.base > b.base; });
  return MakeRecord(list);
}

// What a slot's combinations with the candidate are worth looking at for:
// fewer than `below` powers, or lowering the table as it is.
bool Matters(const CombinationCounts& c, int64_t below) {
  const int64_t m = std::min(c.positive, c.negative), n = std::max(c.positive, c.negative);
  return c.positive + c.negative < below ||
         BestRightImproves(static_cast<int32_t>(m), static_cast<int32_t>(n));
}

// Whether a quick scan for `candidate` offers exactly the occupied slots whose
// exact counts matter, and every slot it cannot count, while the table is
// reset (`meddle` 1) or lowered (2) as the offers are read; adds the offers
// to `offered`.
::testing::AssertionResult OffersWhatMatters(const SolutionRecord& candidate, int64_t below,
                                             int32_t from, int32_t meddle, int64_t& offered) {
  BeginScan(candidate, below, from);
  std::vector<int32_t> expected;
  for (int32_t slot = from; slot < kStoreSlots; ++slot) {
    if (gStore.slots[slot].termCount == 0) continue;
    if (!ScanCounts(slot) || Matters(CountCombination(slot, -1), below) ||
        Matters(CountCombination(slot, +1), below)) {
      expected.push_back(slot);
    }
  }
  const BestSizeTable saved = gBest;
  if (meddle == 1) ResetBestRight();
  if (meddle == 2) LowerBestRight(1, 2);
  std::vector<int32_t> listed;
  for (int32_t slot = NextOffered(from); slot < kStoreSlots; slot = NextOffered(slot + 1)) {
    listed.push_back(slot);
  }
  gBest = saved;
  EndScan();
  offered += static_cast<int64_t>(listed.size());
  if (listed == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << listed.size() << " offered, " << expected.size() << " expected";
}

// Two bases held by over a thousand records each, and the two on either side
// of where the store's direct tables end, held by hundreds; the store also
// keeps their holders as sets, with multiplicities on both sides of the
// levels those sets count.
std::vector<Term> PopularBases(std::mt19937& random) {
  std::vector<Term> list;
  for (const int32_t base : {kDirectBaseLimit, kDirectBaseLimit - 1, 4000, 300}) {
    const int32_t magnitude = 1 + static_cast<int32_t>(random() % 6);
    const uint32_t inFive = base == 300 ? 3 : base == 4000 ? 2 : 1;
    if (random() % 5 < inFive) list.push_back({base, random() % 2 ? magnitude : -magnitude});
  }
  return list;
}

// The quick scan offers exactly the occupied slots whose exact counts matter,
// and every slot it cannot count: candidates near stored records (many shared
// bases) and far from them, balanced and lopsided, bases that share bits,
// multiplicities within the levels counted as sets and beyond, bases held by
// many records (also after their holders dropped to a few hundred and grew
// again), lowered tables, sizes to beat from 1 up, and walks begun midway. A
// table changed during the scan must not change what the slots are judged by.
TEST_F(StoreQueriesTest, QuickScanOffersWhatMatters) {
  std::mt19937 random(5);
  std::vector<SolutionRecord> stored;
  for (int32_t i = 0; i < 3000; ++i) {
    SolutionRecord r =
        AddRandom(random, PopularBases(random), 4 + static_cast<int32_t>(random() % 11),
                  i % 2 == 0 ? 250 : 3000, i % 3 == 0 ? 7 : 4);
    InsertRecord(r, nullptr, InsertQuiet);
    stored.push_back(r);
  }
  InsertUnusualRecords();
  std::vector<SolutionRecord> removed;
  int64_t offered = 0;
  for (int32_t trial = 0; trial < 300; ++trial) {
    if (trial % 50 == 0) {
      ResetBestRight();
      if (trial > 0) LowerBestRight(1 + trial / 50, 2 + trial / 25);
      // A known left count of 1, so that a combination's gap between its sides
      // decides whether it can lower the table.
      if (trial % 100 == 50) LowerBestRight(1, 12 + trial / 25);
    }
    if (trial == 100) {
      for (int32_t slot = 0; slot < kStoreSlots && removed.size() < 1200; ++slot) {
        const SolutionRecord& r = gStore.slots[slot];
        if (r.termCount > 0 && HasBase({r.terms, r.terms + r.termCount}, 300)) {
          removed.push_back(r);
          RemoveRecord(&gStore.slots[slot]);
        }
      }
    }
    if (trial == 200) {
      for (SolutionRecord& r : removed) InsertRecord(r, nullptr, InsertQuiet);
    }
    SolutionRecord candidate;
    if (trial % 2 == 0) {
      // A stored record with Terms dropped (up to half of them) or added.
      const SolutionRecord& near = stored[random() % stored.size()];
      const int32_t dropped = static_cast<int32_t>(random() % (near.termCount / 2 + 1));
      std::vector<Term> list(near.terms, near.terms + near.termCount - dropped);
      candidate = AddRandom(random, list, 1 + static_cast<int32_t>(random() % 3), 3000);
    } else {
      candidate = AddRandom(random, PopularBases(random), 3 + static_cast<int32_t>(random() % 30),
                            trial % 8 == 1 ? 250 : 3000, trial % 3 == 0 ? 7 : 4);
    }
    const int64_t size = int64_t{candidate.leftCount} + candidate.rightCount;
    const int64_t below = trial % 3 == 0 ? 1 + static_cast<int64_t>(random() % 40) : size;
    const int32_t from = trial % 4 == 3 ? static_cast<int32_t>(random() % kStoreSlots) : 0;
    ASSERT_TRUE(OffersWhatMatters(candidate, below, from, trial % 5, offered)) << "trial " << trial;
    offered -= 3;  // the unusual records are always in
  }
  EXPECT_GT(offered, 300) << offered;
}

// Records of equal sides, all of small bases, whose losses the bit planes
// count: the fewest powers any of them must lose for a combination to matter
// is what many lose, with candidates that swap from none to all of a stored
// record's Terms for others.
TEST_F(StoreQueriesTest, QuickScanAtTheFewestPowersThatMatter) {
  std::mt19937 random(7);
  // The list filled up to three powers a side, on distinct bases.
  auto balanced = [&random](std::vector<Term> list) {
    auto positive =
        std::count_if(list.begin(), list.end(), [](const Term& t) { return t.multiplicity > 0; });
    while (list.size() < 6) {
      const int32_t base = 1 + static_cast<int32_t>(random() % 250);
      if (HasBase(list, base)) continue;
      list.push_back({base, positive < 3 ? 1 : -1});
      if (positive < 3) ++positive;
    }
    std::sort(list.begin(), list.end(),
              [](const Term& a, const Term& b) { return a.base > b.base; });
    return MakeRecord(list);
  };
  std::vector<SolutionRecord> stored;
  for (int32_t i = 0; i < 300; ++i) {
    stored.push_back(balanced({}));
    InsertRecord(stored.back(), nullptr, InsertQuiet);
  }
  // Only a combination with one power on a side lowers it.
  ResetBestRight();
  LowerBestRight(1, 2);
  int64_t offered = 0;
  for (int32_t trial = 0; trial < 200; ++trial) {
    const SolutionRecord& near = stored[random() % stored.size()];
    std::vector<Term> kept;
    for (int32_t i = 0; i < near.termCount; ++i) {
      if (random() % 3 != 0) kept.push_back(near.terms[i]);
    }
    const SolutionRecord candidate = balanced(kept);
    ASSERT_TRUE(OffersWhatMatters(candidate, 6 - trial % 2, 0, 0, offered)) << "trial " << trial;
  }
  EXPECT_GT(offered, 100) << offered;
}

}  // namespace
}  // namespace quorvex
