#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "control/parameters.hpp"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "store/verify.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using testing_support::CaptureOutput;
using testing_support::ReadFile;

using SearchEndToEndTest = testing_support::FolderTest;

TEST_F(SearchEndToEndTest, EverySolutionLoggedOrStoredIsTrue) {
  gParams.WEIGHT = 4;
  gParams.NEMBPASS = 2;
  // {k, maxBase, workTerms, blockSize}: seeded iterations, a cross-reduction, one more iteration.
  for (auto [k, maxBase, n, block] : std::vector<std::tuple<int, int, int, int>>{
           {2, 30, 30, 10}, {3, 40, 25, 20}, {4, 60, 60, 20}, {5, 70, 70, 20}}) {
    SCOPED_TRACE(k);
    ResetStore();
    ResetBestRight();
    SeedRandom(static_cast<uint32_t>(k));
    CaptureOutput([&] {
      for (int i = 0; i < 4; ++i) SearchIteration(k, maxBase - i, block, n);
      CrossReductionPass(gParams.WEIGHT, gParams.NEMBPASS);
      SearchIteration(k, maxBase, block, n);
    });
    std::string log = ReadFile("DATA" + std::to_string(k) + ".TXT");
    EXPECT_GT(std::count(log.begin(), log.end(), '\n'), 0);
    EXPECT_GT(gStore.count, 20);
    int status = -1;
    std::string report = CaptureOutput([&] { status = VerifyAll(k); });
    EXPECT_EQ(status, 0) << report;
  }
}

TEST_F(SearchEndToEndTest, FindsTheSmallestFourthPowerPairIdentity) {
  // From this seed the identity turns up at the ninth iteration; any seed that
  // gives it within 30 is as good.
  SeedRandom(20);
  auto found = [] {
    std::string log = ReadFile("DATA4.TXT");
    return log.find("(4,2,2) 158+59=134+133 (0,0)\n") != std::string::npos ||
           log.find("(4,2,2) 134+133=158+59 (0,0)\n") != std::string::npos;
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
    std::string folder = folder_ + "/run" + std::to_string(runs.size());
    std::filesystem::create_directory(folder);
    testing_support::WriteFile(folder + "/PARAMS.INI",
                               "POWER=3\nSTART=28\nEND=30\nBLOCKSIZE=10\nWORKTERMS=0\n"
                               "ITERATIONS=3\nSAVE=2\nNEMB=4\nWEIGHT=2\nNEMBPASS=2\n");
    auto result = testing_support::RunProgram(folder, {"--seed", seed});
    EXPECT_EQ(result.status, 0) << result.output;
    for (const char* file : {"DATA3.TXT", "DATA3.BIN", "STATS.TXT", "PARAMS.INI"}) {
      result.output += std::string("\n== ") + file + "\n" + ReadFile(folder + "/" + file);
    }
    runs.push_back(result.output);
  }
  EXPECT_NE(runs[0].find("Weight 1, pass 1"), std::string::npos) << runs[0];
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_NE(runs[0], runs[2]);
}

}  // namespace
}  // namespace quorvex
