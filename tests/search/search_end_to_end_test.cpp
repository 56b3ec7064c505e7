#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "store/verify.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

TEST(Random, UnseededSequenceAndSeeding) {
  gRandom = RandomState{};
  for (int32_t expected : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(Rand(), expected);
  SeedRandom(1);
  EXPECT_EQ(Rand(), 41);
  SeedRandom(0);
  EXPECT_EQ(Rand(), 38);  // 2531011 >> 16 = 38
  for (int i = 0; i < 100000; ++i) {
    const int32_t r = Rand();
    ASSERT_TRUE(r >= 0 && r <= 32767) << r;
  }
}

using SearchEndToEndTest = FolderTest;

TEST_F(SearchEndToEndTest, EverySolutionLoggedOrStoredIsTrue) {
  // {k, maxBase, workTerms, blockSize}: seeded iterations, a cross-reduction, one more iteration.
  for (auto [k, maxBase, n, block] : std::vector<std::tuple<int, int, int, int>>{
           {2, 30, 30, 10}, {3, 40, 25, 20}, {4, 60, 60, 20}, {5, 70, 70, 20}}) {
    SCOPED_TRACE(k);
    ResetStore();
    ResetBestRight();
    SeedRandom(static_cast<uint32_t>(k));
    CaptureOutput([&] {
      for (int i = 0; i < 4; ++i) SearchIteration(k, maxBase - i, block, n);
      CrossReductionPass(4, 2);
      SearchIteration(k, maxBase, block, n);
    });
    EXPECT_TRUE(Contains(ReadFile("DATA" + std::to_string(k) + ".TXT"), "\n"));
    EXPECT_GT(gStore.count, 20);
    int status = -1;
    const std::string report = CaptureOutput([&] { status = VerifyAll(k); });
    EXPECT_EQ(status, 0) << report;
  }
}

TEST_F(SearchEndToEndTest, FindsTheSmallestFourthPowerPairIdentity) {
  // From this seed the identity turns up at the ninth iteration; any seed that
  // gives it within 30 is as good.
  SeedRandom(20);
  auto found = [] {
    const std::string log = ReadFile("DATA4.TXT");
    return Contains(log, "(4,2,2) 158+59=134+133 (0,0)\n") ||
           Contains(log, "(4,2,2) 134+133=158+59 (0,0)\n");
  };
  int iterations = 0;
  for (; iterations < 30 && !found(); ++iterations) {
    CaptureOutput([] { SearchIteration(4, 159, 20, 159); });
  }
  EXPECT_TRUE(found()) << "not within " << iterations << " iterations";
}

TEST_F(SearchEndToEndTest, SameSeedSameOutputAndFiles) {
  std::vector<std::string> runs;
  for (const char* seed : {"11", "11", "12"}) {
    const std::string folder = folder_ + "/run" + std::to_string(runs.size());
    std::filesystem::create_directory(folder);
    WriteFile(folder + "/PARAMS.INI",
              "POWER=3\nSTART=28\nEND=30\nBLOCKSIZE=10\nWORKTERMS=0\n"
              "ITERATIONS=3\nSAVE=2\nNEMB=4\nWEIGHT=2\nNEMBPASS=2\n");
    auto [output, status] = RunProgram(folder, {"--seed", seed});
    EXPECT_EQ(status, 0) << output;
    for (const char* file : {"DATA3.TXT", "DATA3.BIN", "STATS.TXT", "PARAMS.INI"}) {
      output += std::string("\n== ") + file + "\n" + ReadFile(folder + "/" + file);
    }
    runs.push_back(output);
  }
  EXPECT_TRUE(Contains(runs[0], "Weight 1, pass 1")) << runs[0];
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_NE(runs[0], runs[2]);
}

}  // namespace
}  // namespace quorvex
