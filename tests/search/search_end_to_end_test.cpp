#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "control/parameters.hpp"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/search_iteration.hpp"
#include "search/search_test_util.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using search_testing::IdentityHolds;
using search_testing::TermList;
using search_testing::TermsOf;
using testing_support::CaptureOutput;
using testing_support::FolderTest;
using testing_support::ReadFile;
using testing_support::RunProgram;
using testing_support::WriteFile;

// Reads one result-log line, "(k,m,n) 9+8*2=7+6 (w,p)", into signed Terms and
// checks that its header counts match the sides.
bool ParseLogLine(const std::string& line, long& power, TermList& terms) {
  int m = 0, n = 0, read = 0;
  if (std::sscanf(line.c_str(), "(%ld,%d,%d) %n", &power, &m, &n, &read) != 3) return false;
  std::string body = line.substr(read, line.rfind(" (") - read);
  int sides[2] = {0, 0}, side = 0;
  terms.clear();
  for (size_t at = 0, end; at < body.size(); at = end + 1) {
    end = body.find_first_of("+=", at);
    if (end == std::string::npos) end = body.size();
    std::string term = body.substr(at, end - at);
    size_t star = term.find('*');
    int32_t multiplicity = star == std::string::npos ? 1 : std::atoi(term.c_str() + star + 1);
    terms.emplace_back(std::atoi(term.c_str()), side == 0 ? multiplicity : -multiplicity);
    sides[side] += multiplicity;
    if (end < body.size() && body[end] == '=') side = 1;
  }
  return sides[0] == m && sides[1] == n;
}

// Every line of DATA<k>.TXT and every stored record is a true identity.
void ExpectAllTrue(long k) {
  std::istringstream log(ReadFile("DATA" + std::to_string(k) + ".TXT"));
  std::string line;
  int lines = 0;
  while (std::getline(log, line)) {
    long power = 0;
    TermList terms;
    ASSERT_TRUE(ParseLogLine(line, power, terms)) << line;
    EXPECT_EQ(power, k) << line;
    EXPECT_TRUE(IdentityHolds(terms, k)) << line;
    ++lines;
  }
  EXPECT_GT(lines, 0);
  for (const SolutionRecord& record : gStore.slots) {
    if (record.termCount != 0) {
      EXPECT_TRUE(IdentityHolds(TermsOf(record), k));
    }
  }
}

using SearchEndToEndTest = FolderTest;

TEST_F(SearchEndToEndTest, EverySolutionLoggedOrStoredIsTrue) {
  struct Case {
    long k;
    int maxBase, workTerms, blockSize;
  };
  for (Case c :
       {Case{2, 30, 30, 10}, Case{3, 40, 25, 20}, Case{4, 60, 60, 20}, Case{5, 70, 70, 20}}) {
    SCOPED_TRACE(c.k);
    ResetStore();
    ResetBestRight();
    SeedRandom(static_cast<uint32_t>(c.k));
    gParams.WEIGHT = 4;
    gParams.NEMBPASS = 2;
    CaptureOutput([&] {
      for (int i = 0; i < 4; ++i) {
        SearchIteration(static_cast<int32_t>(c.k), c.maxBase - i, c.blockSize, c.workTerms);
      }
      CrossReductionPass();
      SearchIteration(static_cast<int32_t>(c.k), c.maxBase, c.blockSize, c.workTerms);
    });
    EXPECT_GT(gStore.count, 0);
    ExpectAllTrue(c.k);
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
  while (iterations < 30 && !found()) {
    CaptureOutput([] { SearchIteration(4, 159, 20, 159); });
    ++iterations;
  }
  EXPECT_TRUE(found()) << "not within " << iterations << " iterations";
  ExpectAllTrue(4);
}

TEST_F(SearchEndToEndTest, SameSeedSameOutputAndFiles) {
  const std::string params =
      "POWER=3\nSTART=28\nEND=30\nBLOCKSIZE=10\nWORKTERMS=0\nITERATIONS=3\nSAVE=2\n"
      "NEMB=4\nWEIGHT=2\nNEMBPASS=2\n";
  std::vector<std::string> runs;
  for (const char* seed : {"11", "11", "12"}) {
    std::string folder = folder_ + "/run" + std::to_string(runs.size());
    std::filesystem::create_directory(folder);
    WriteFile(folder + "/PARAMS.INI", params);
    auto result = RunProgram(folder, {"--seed", seed});
    EXPECT_EQ(result.status, 0) << result.output;
    std::string all = result.output;
    for (const char* file : {"DATA3.TXT", "DATA3.BIN", "STATS.TXT", "PARAMS.INI"}) {
      all += std::string("\n== ") + file + "\n" + ReadFile(folder + "/" + file);
    }
    runs.push_back(all);
  }
  EXPECT_NE(runs[0].find("Weight 1, pass 1"), std::string::npos) << runs[0];
  EXPECT_EQ(runs[0], runs[1]);
  EXPECT_NE(runs[0], runs[2]);
}

}  // namespace
}  // namespace quorvex
