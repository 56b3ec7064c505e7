#include "search/cross_reduction.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "control/parameters.hpp"
#include "control/run_state.hpp"
#include "search/random.hpp"
#include "search/search_test_util.hpp"
#include "store/best_right_table.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using search_testing::StoreQuietly;
using search_testing::TermList;
using search_testing::TermsOf;
using testing_support::CaptureOutput;
using testing_support::FileExists;
using testing_support::FolderTest;
using testing_support::ReadFile;

class CrossReductionTest : public FolderTest {
 protected:
  std::string Run(int32_t weight, int32_t passes = 3) {
    gParams.WEIGHT = weight;
    gParams.NEMBPASS = passes;
    std::remove("STATS.TXT");
    std::string out = CaptureOutput([] { CrossReductionPass(); });
    if (!out.empty()) {
      EXPECT_EQ(ReadFile("STATS.TXT"), StatisticsLines(out));
    }
    return out;
  }
  static std::string StatisticsLines(const std::string& out) {
    std::string lines, line;
    std::istringstream in(out);
    while (std::getline(in, line)) {
      line = line.substr(line.rfind('\r') + 1);
      if (line.rfind("Weight ", 0) == 0) lines += line + "\n";
    }
    return lines;
  }
};

TEST_F(CrossReductionTest, StoresThatCannotImprove) {
  gRun.CurrentPower = 2;
  EXPECT_EQ(Run(8), "");  // empty store: no line, no draw, no file
  EXPECT_EQ(gRandom.state, 1u);
  EXPECT_FALSE(FileExists("STATS.TXT"));

  StoreQuietly({{5, 1}, {4, -1}, {3, -1}});
  EXPECT_EQ(Run(8),
            "Weight 8, pass 1: average terms 3.000000 (from 3 to 3)\n"
            "Weight 4, pass 1: average terms 3.000000 (from 3 to 3)\n"
            "Weight 2, pass 1: average terms 3.000000 (from 3 to 3)\n"
            "Weight 1, pass 1: average terms 3.000000 (from 3 to 3)\n");
  EXPECT_EQ(gRun.CurrentWeight, 1);
  EXPECT_EQ(gRun.PassCounter, 1);
  const uint32_t after = gRandom.state;  // one permutation of 9999 draws per weight
  gRandom = RandomState{};
  for (int i = 0; i < 4 * 9999; ++i) Rand();
  EXPECT_EQ(gRandom.state, after);

  // Mirror images: their sum is empty and their difference twice as long.
  // A negative weight halves towards zero; a stop ends the run at the first
  // record, without a statistics line and without further weights.
  EXPECT_EQ(StatisticsLines(Run(-5)),
            "Weight -5, pass 1: average terms 3.000000 (from 3 to 3)\n"
            "Weight -2, pass 1: average terms 3.000000 (from 3 to 3)\n"
            "Weight -1, pass 1: average terms 3.000000 (from 3 to 3)\n");
  gRun.StopRequested = 1;
  EXPECT_EQ(Run(8), "");
  EXPECT_EQ(gRun.CurrentWeight, 8);
  EXPECT_FALSE(FileExists("STATS.TXT"));
  gRun.StopRequested = 0;

  ResetStore();
  StoreQuietly({{7, 1}, {5, -2}, {1, 1}});
  StoreQuietly({{7, -1}, {5, 2}, {1, -1}});
  EXPECT_EQ(Run(1), "Weight 1, pass 1: average terms 4.000000 (from 4 to 4)\n");
  EXPECT_EQ(gStore.count, 2);
  EXPECT_EQ(TermsOf(*gStore.inUseHead), (TermList{{7, -1}, {5, 2}, {1, -1}}));

  // 25 records with disjoint bases (k = 1): progress every tenth record.
  ResetStore();
  gRun.CurrentPower = 1;
  for (int i = 0; i < 25; ++i)
    StoreQuietly({{200 * i + 3, -1}, {100 * i + 2, 1}, {100 * i + 1, 1}});
  EXPECT_EQ(Run(2),
            "2(1): 10/25    \r2(1): 20/25    \r"
            "Weight 2, pass 1: average terms 3.000000 (from 3 to 3)\n"
            "1(1): 10/25    \r1(1): 20/25    \r"
            "Weight 1, pass 1: average terms 3.000000 (from 3 to 3)\n");
}

TEST_F(CrossReductionTest, RecordImprovedIntoAStoredOneIsRemoved) {
  gRun.CurrentPower = 2;
  for (int32_t passes : {3, 1}) {
    ResetStore();
    StoreQuietly({{5, 1}, {4, -1}, {3, -1}});             // 5^2 = 4^2 + 3^2
    StoreQuietly({{13, 1}, {12, -1}, {5, -1}});           // 13^2 = 12^2 + 5^2
    StoreQuietly({{13, 1}, {12, -1}, {4, -1}, {3, -1}});  // their sum, improved into the second
    std::string out = Run(1, passes);
    EXPECT_EQ(out, passes == 1 ? "Weight 1, pass 1: average terms 3.000000 (from 3 to 3)\n"
                               : "Weight 1, pass 1: average terms 3.000000 (from 3 to 3)\n"
                                 "Weight 1, pass 2: average terms 3.000000 (from 3 to 3)\n");
    EXPECT_EQ(gStore.count, 2);
    EXPECT_EQ(gStore.slots[2].termCount, 0);
  }
}

TEST_F(CrossReductionTest, LogLinesCarryTheWeightAndThePassUnderWay) {
  // k = 1 solutions, with a table that knows none of them, so the passes log
  // every new best size; with the generator's first permutation one of them is
  // only reached in the second pass at weight 8.
  gRun.CurrentPower = 1;
  StoreQuietly({{24, -1}, {12, 1}, {8, 1}, {2, 2}});
  StoreQuietly({{15, -1}, {10, 1}, {6, 1}, {1, -1}});
  StoreQuietly({{17, -1}, {9, 1}, {8, 1}});
  StoreQuietly({{11, -1}, {8, 1}, {4, 1}, {1, -1}});
  StoreQuietly({{20, -1}, {12, 1}, {10, -1}, {9, 1}, {7, 1}, {2, 1}});
  StoreQuietly({{17, -1}, {9, 1}, {5, 1}, {2, 1}, {1, 1}});
  ResetBestRight();
  std::string out = Run(8);
  EXPECT_NE(ReadFile("DATA1.TXT").find("(1,2,2) 11+1=8+4 (8,1)\n"), std::string::npos);
  // Each logged line comes before the statistics line of its pass, whose
  // number is one more than the suffix's pass count.
  std::string pending, line;
  std::istringstream in(out);
  int logged = 0;
  while (std::getline(in, line)) {
    line = line.substr(line.rfind('\r') + 1);
    if (line[0] == '(') {
      pending += line.substr(line.rfind(' ')) + "\n";
      ++logged;
    }
    int w = 0, p = 0;
    if (std::sscanf(line.c_str(), "Weight %d, pass %d:", &w, &p) == 2) {
      std::string expected;
      for (size_t i = 0; i < pending.size(); i = pending.find('\n', i) + 1) {
        expected += " (" + std::to_string(w) + "," + std::to_string(p - 1) + ")\n";
      }
      EXPECT_EQ(pending, expected) << line;
      pending.clear();
    }
  }
  EXPECT_EQ(logged, 7);
  EXPECT_NE(out.find("(1,2,2) 11+1=8+4 (8,1)\nWeight 8, pass 2: "), std::string::npos) << out;
}

}  // namespace
}  // namespace quorvex
