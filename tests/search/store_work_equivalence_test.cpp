// The indexed store work must give exactly what the straightforward routines
// give: seeded searches over a full store (evictions, log lines) and
// cross-reductions at several weights, compared on the whole console output
// and on the bytes of every file written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "control/parameters.hpp"
#include "control/run_state.hpp"
#include "reference_store_work.hpp"
#include "search/combination_scan.hpp"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/relation_shortening.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/checkpoint.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using testing_support::CaptureOutput;
using testing_support::ReadFile;
using testing_support::WriteFile;

const std::string kFullStore = std::string(QUORVEX_SOURCE_DIR) + "/bench/data/DATA5.BIN";

// The first `count` entries of the full k = 5 store, as a checkpoint file.
std::string FirstEntries(int32_t count) {
  std::string bytes = ReadFile(kFullStore);
  size_t at = 4;
  for (int32_t i = 0; i < count; ++i) {
    int32_t terms;
    std::memcpy(&terms, bytes.data() + at, 4);
    at += 4 + 8 * static_cast<size_t>(terms);
  }
  std::string head = bytes.substr(0, at);
  std::memcpy(head.data(), &count, 4);
  return head;
}

SolutionRecord Record(std::vector<Term> terms) {
  SolutionRecord r{};
  int64_t m = 0, n = 0;
  for (const Term& t : terms)
    (t.multiplicity > 0 ? m : n) += t.multiplicity > 0 ? t.multiplicity : -t.multiplicity;
  r.leftCount = static_cast<int32_t>(m);
  r.rightCount = static_cast<int32_t>(n);
  r.termCount = static_cast<int32_t>(terms.size());
  for (size_t i = 0; i < terms.size(); ++i) r.terms[i] = terms[i];
  return r;
}

// Records the fast paths cannot take: a repeated base, a base beyond any
// search's range, and one out of descending order. They need not be true;
// both runs must only treat them alike.
void InsertUnusualRecords() {
  for (SolutionRecord r : {Record({{97, 1}, {97, 2}, {60, -1}, {41, -2}, {13, -1}, {2, 1}}),
                           Record({{40000, 2}, {97, -1}, {41, -1}, {7, -1}, {3, 1}}),
                           Record({{61, 1}, {88, -1}, {43, 1}, {29, -1}, {11, -2}, {5, 2}})}) {
    InsertRecord(r, nullptr, InsertQuiet);
  }
}

struct RunResult {
  std::string console;
  std::string files;
};

// Runs `scenario` from `checkpoint` in its own folder, with the engine's
// routines or with the reference ones, and collects everything it wrote.
RunResult Run(const std::string& name, const std::string& checkpoint, bool straightforward,
              const std::function<void(bool)>& scenario) {
  std::filesystem::create_directory(name);
  std::filesystem::current_path(name);
  testing_support::ResetEngineState();
  WriteFile("DATA5.BIN", checkpoint);
  RunResult result;
  result.console = CaptureOutput([&] {
    LoadCheckpoint(5);
    InsertUnusualRecords();
    gHarvest.shortenAgainstStore = straightforward ? reference::ShortenAgainstStore : nullptr;
    scenario(straightforward);
    gHarvest.shortenAgainstStore = nullptr;
    SaveCheckpoint(5);
  });
  for (const char* file : {"DATA5.TXT", "STATS.TXT", "DATA5.BIN"}) {
    result.files += std::string("== ") + file + "\n" + ReadFile(file);
  }
  std::filesystem::current_path("..");
  return result;
}

void ExpectSameRuns(const std::string& checkpoint, const std::function<void(bool)>& scenario) {
  RunResult fast = Run("fast", checkpoint, false, scenario);
  RunResult plain = Run("plain", checkpoint, true, scenario);
  EXPECT_GT(fast.console.size(), 1000u);
  EXPECT_TRUE(fast.console == plain.console) << "console output differs";
  EXPECT_TRUE(fast.files == plain.files) << "files differ";
}

using StoreWorkEquivalenceTest = testing_support::FolderTest;

TEST_F(StoreWorkEquivalenceTest, SearchOverAFullStoreEvictsAndLogsAlike) {
  ExpectSameRuns(ReadFile(kFullStore), [](bool) {
    SeedRandom(3);
    // Lower the table so that candidates and their combinations get logged.
    for (int32_t m = 1; m < kTableSize; ++m) gBest.BestRightTable[m] = 1000000;
    RecomputeBestRight();
    for (int i = 0; i < 2; ++i) SearchIteration(5, 60 + 10 * i, 10, 30);
    // Bases from 128 on are counted through the per-base lists, not the bits.
    SearchIteration(5, 170, 10, 30);
    EXPECT_EQ(gStore.count, kStoreSlots);
  });
}

TEST_F(StoreWorkEquivalenceTest, CrossReductionAtSeveralWeightsAlike) {
  ExpectSameRuns(FirstEntries(400), [](bool straightforward) {
    auto cross = [straightforward] {
      if (straightforward) {
        reference::CrossReductionPass();
      } else {
        CrossReductionPass(gParams.WEIGHT, gParams.NEMBPASS);
      }
    };
    SeedRandom(8);
    gParams.WEIGHT = 4;
    gParams.NEMBPASS = 2;
    cross();
    SearchIteration(5, 70, 10, 40);
    // A negative weight favours balanced sides, so even records that share no
    // base can improve one another.
    gParams.WEIGHT = -1;
    gParams.NEMBPASS = 1;
    cross();
  });
}

// A random plain list: distinct bases drawn from [1, 250], so that both the
// bit sets (below 128) and the per-base lists are used, descending.
SolutionRecord RandomList(std::mt19937& random, int32_t terms) {
  std::vector<Term> list;
  while (static_cast<int32_t>(list.size()) < terms) {
    const int32_t base = 1 + static_cast<int32_t>(random() % 250);
    bool seen = false;
    for (const Term& t : list) seen |= t.base == base;
    if (seen) continue;
    const int32_t magnitude = random() % 4 == 0 ? 2 + static_cast<int32_t>(random() % 2) : 1;
    list.push_back({base, random() % 2 == 0 ? magnitude : -magnitude});
  }
  std::sort(list.begin(), list.end(), [](const Term& a, const Term& b) { return a.base > b.base; });
  return Record(list);
}

// The quick look must list exactly the occupied slots the full per-slot count
// flags: candidates near stored records (many shared bases) and far from
// them, lowered tables, sizes to beat from 1 up, and walks resumed midway.
TEST_F(StoreWorkEquivalenceTest, QuickLookFlagsWhatTheFullCountFlags) {
  std::mt19937 random(5);
  std::vector<SolutionRecord> stored;
  for (int32_t i = 0; i < 3000; ++i) {
    SolutionRecord r = RandomList(random, 4 + static_cast<int32_t>(random() % 11));
    InsertRecord(r, nullptr, InsertQuiet);
    stored.push_back(r);
  }
  InsertUnusualRecords();
  int64_t flagged = 0;
  for (int32_t trial = 0; trial < 300; ++trial) {
    if (trial % 50 == 0) {
      ResetBestRight();
      if (trial > 0) LowerBestRight(1 + trial / 50, 2 + trial / 25);
    }
    SolutionRecord candidate;
    if (trial % 2 == 0) {
      // A stored record with a few Terms changed, dropped or added.
      SolutionRecord near = stored[random() % stored.size()];
      SolutionRecord extra = RandomList(random, 1 + static_cast<int32_t>(random() % 3));
      std::vector<Term> list(near.terms, near.terms + near.termCount - random() % 2);
      for (int32_t i = 0; i < extra.termCount; ++i) {
        bool seen = false;
        for (const Term& t : list) seen |= t.base == extra.terms[i].base;
        if (!seen) list.push_back(extra.terms[i]);
      }
      std::sort(list.begin(), list.end(),
                [](const Term& a, const Term& b) { return a.base > b.base; });
      candidate = Record(list);
    } else {
      candidate = RandomList(random, 3 + static_cast<int32_t>(random() % 30));
    }
    const int64_t size = int64_t{candidate.leftCount} + candidate.rightCount;
    const int64_t below = trial % 3 == 0 ? 1 + static_cast<int64_t>(random() % 40) : size;
    const int32_t from = trial % 4 == 3 ? static_cast<int32_t>(random() % kStoreSlots) : 0;
    ASSERT_TRUE(LoadCandidate(candidate, below));
    std::vector<int32_t> expected;
    for (int32_t slot = from; slot < kStoreSlots; ++slot) {
      if (gScan.flagged[slot] && gStore.slots[slot].termCount != 0) expected.push_back(slot);
    }
    UnloadCandidate();
    ASSERT_TRUE(LoadCandidateSparse(candidate, below, from));
    // Slots are looked at in steps after the load; a table changed meanwhile
    // must not change what they are judged by.
    const BestSizeTable saved = gBest;
    if (trial % 5 == 1) ResetBestRight();
    if (trial % 5 == 2) LowerBestRight(1, 2);
    std::vector<int32_t> listed;
    for (int32_t slot = NextFlaggedSlot(from); slot < kStoreSlots;
         slot = NextFlaggedSlot(slot + 1)) {
      listed.push_back(slot);
    }
    gBest = saved;
    UnloadCandidate();
    ASSERT_TRUE(listed == expected) << "trial " << trial << ": " << listed.size() << " listed, "
                                    << expected.size() << " flagged";
    flagged += static_cast<int64_t>(expected.size()) - 3;  // the unusual records are always in
  }
  EXPECT_GT(flagged, 300) << flagged;
}

// Relation tables of small rows, where the 32-bit sums are used, mixed with
// rows whose entries or sums would leave 32 bits, where they must not be.
// Large entries (2^29 to 2^31 - 1) sit only in the first quarter of the
// columns, where small rows have none, so no shortening creeps along in tiny
// steps.
TEST_F(StoreWorkEquivalenceTest, RelationShorteningMatchesTheStraightforwardPasses) {
  std::mt19937 random(11);
  for (int32_t trial = 0; trial < 40; ++trial) {
    const int32_t n = 4 + static_cast<int32_t>(random() % 60);
    const int32_t relations = 2 + static_cast<int32_t>(random() % 40);
    const bool mixed = trial % 2 == 1;
    for (int32_t r = 0; r < relations; ++r) {
      const bool large = mixed && random() % 3 == 0;
      for (int32_t c = 0; c < n; ++c) {
        int64_t v = 0;
        if (c < n / 4) {
          if (large && random() % 2 == 0) {
            v = (int64_t{1} << 29) + static_cast<int64_t>(random() % (int64_t{3} << 29));
            if (random() % 2 == 0) v = -v;
          }
        } else if (random() % 3 == 0) {
          v = static_cast<int64_t>(random() % 7) - 3;
        }
        gSearch.RelationTable[r][c] = static_cast<int32_t>(v);
      }
    }
    auto table = [] {
      const int32_t* first = &gSearch.RelationTable[0][0];
      return std::vector<int32_t>(first, first + sizeof(gSearch.RelationTable) / sizeof(int32_t));
    };
    const std::vector<int32_t> start = table();
    const int32_t fastRows = ShortenRelations(relations, n);
    const std::vector<int32_t> fast = table();
    std::memcpy(gSearch.RelationTable, start.data(), sizeof(gSearch.RelationTable));
    const int32_t plainRows = reference::ShortenRelations(relations, n);
    const std::vector<int32_t> plain = table();
    ASSERT_EQ(fastRows, plainRows) << "trial " << trial;
    EXPECT_GT(plainRows, relations / 2) << "trial " << trial << ": little to shorten";
    ASSERT_TRUE(fast == plain) << "trial " << trial;
  }
}

}  // namespace
}  // namespace quorvex
