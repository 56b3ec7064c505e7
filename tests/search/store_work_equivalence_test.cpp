// The indexed store work must give exactly what the straightforward routines
// give: seeded searches over a full store (evictions, log lines) and
// cross-reductions at several weights, compared on the whole console output
// and on the bytes of every file written.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "control/parameters.hpp"
#include "control/run_state.hpp"
#include "reference_store_work.hpp"
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
    EXPECT_EQ(gStore.count, kStoreSlots);
  });
}

TEST_F(StoreWorkEquivalenceTest, CrossReductionAtSeveralWeightsAlike) {
  ExpectSameRuns(FirstEntries(400), [](bool straightforward) {
    auto cross = straightforward ? reference::CrossReductionPass : CrossReductionPass;
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

}  // namespace
}  // namespace quorvex
