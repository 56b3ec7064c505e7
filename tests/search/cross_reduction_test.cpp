#include "search/cross_reduction.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

#include "control/run_state.hpp"
#include "search/random.hpp"
#include "store/best_right_table.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// Runs the cross-reduction and returns its console output; STATS.TXT must hold
// exactly its statistics lines.
std::string Reduce(int32_t weight, int32_t passes = 3) {
  std::remove("STATS.TXT");
  std::string out = CaptureOutput([&] { CrossReductionPass(weight, passes); });
  std::string line, statistics;
  for (std::istringstream in(out); std::getline(in, line);) {
    line = line.substr(line.rfind('\r') + 1);
    if (line.rfind("Weight ", 0) == 0) statistics += line + "\n";
  }
  EXPECT_EQ(ReadFile("STATS.TXT"), statistics);
  return out;
}

std::string Line(int w, int pass, const char* average = "3.000000 (from 3 to 3)") {
  return "Weight " + std::to_string(w) + ", pass " + std::to_string(pass) + ": average terms " +
         average + "\n";
}

using CrossReductionTest = FolderTest;

TEST_F(CrossReductionTest, StoresThatCannotImprove) {
  gRun.CurrentPower = 2;
  EXPECT_EQ(Reduce(8), "");  // empty store: no line, no draw
  EXPECT_EQ(gRandom.state, 1u);
  StoreQuietly({{5, 1}, {4, -1}, {3, -1}});
  EXPECT_EQ(Reduce(8), Line(8, 1) + Line(4, 1) + Line(2, 1) + Line(1, 1));
  EXPECT_EQ(std::pair(gRun.CurrentWeight, gRun.PassCounter), std::pair(1, 1));
  const uint32_t after = gRandom.state;  // one permutation of 9999 draws per weight
  gRandom = RandomState{};
  for (int i = 0; i < 4 * 9999; ++i) Rand();
  EXPECT_EQ(gRandom.state, after);
  // A negative weight halves towards zero.
  EXPECT_EQ(Reduce(-5), Line(-5, 1) + Line(-2, 1) + Line(-1, 1));
  // A stop ends the run at the first record: no statistics, no further weight.
  gRun.StopRequested = 1;
  EXPECT_EQ(Reduce(8), "");
  EXPECT_EQ(gRun.CurrentWeight, 8);
  gRun.StopRequested = 0;

  // Mirror images: their sum is empty and their difference twice as long.
  ResetStore();
  StoreQuietly({{7, 1}, {5, -2}, {1, 1}});
  StoreQuietly({{7, -1}, {5, 2}, {1, -1}});
  EXPECT_EQ(Reduce(1), Line(1, 1, "4.000000 (from 4 to 4)"));
  EXPECT_EQ(gStore.count, 2);

  // 25 records with disjoint bases (k = 1): progress after every tenth.
  ResetStore();
  gRun.CurrentPower = 1;
  for (int i = 0; i < 25; ++i)
    StoreQuietly({{200 * i + 3, -1}, {100 * i + 2, 1}, {100 * i + 1, 1}});
  EXPECT_EQ(Reduce(2), "2(1): 10/25    \r2(1): 20/25    \r" + Line(2, 1) +
                           "1(1): 10/25    \r1(1): 20/25    \r" + Line(1, 1));
}

TEST_F(CrossReductionTest, RecordImprovedIntoAStoredOneIsRemoved) {
  gRun.CurrentPower = 2;
  for (int32_t passes : {3, 1}) {
    ResetStore();
    StoreQuietly({{5, 1}, {4, -1}, {3, -1}});             // 5^2 = 4^2 + 3^2
    StoreQuietly({{13, 1}, {12, -1}, {5, -1}});           // 13^2 = 12^2 + 5^2
    StoreQuietly({{13, 1}, {12, -1}, {4, -1}, {3, -1}});  // their sum, improved into the second
    EXPECT_EQ(Reduce(1, passes), Line(1, 1) + (passes == 1 ? "" : Line(1, 2)));
    EXPECT_EQ(gStore.count, 2);
    EXPECT_EQ(gStore.slots[2].termCount, 0);
    EXPECT_EQ(TermsOf(gStore.slots[1]), "13*1 12*-1 5*-1");
  }
}

TEST_F(CrossReductionTest, LogLinesCarryTheWeightAndThePassUnderWay) {
  // k = 1 solutions and a table that knows none of them, so the passes log
  // each new best size; with the first permutation of the unseeded generator
  // one of them is only reached in the second pass at weight 8.
  gRun.CurrentPower = 1;
  StoreQuietly({{24, -1}, {12, 1}, {8, 1}, {2, 2}});
  StoreQuietly({{15, -1}, {10, 1}, {6, 1}, {1, -1}});
  StoreQuietly({{17, -1}, {9, 1}, {8, 1}});
  StoreQuietly({{11, -1}, {8, 1}, {4, 1}, {1, -1}});
  StoreQuietly({{20, -1}, {12, 1}, {10, -1}, {9, 1}, {7, 1}, {2, 1}});
  StoreQuietly({{17, -1}, {9, 1}, {5, 1}, {2, 1}, {1, 1}});
  ResetBestRight();
  const std::string out = Reduce(8);
  EXPECT_TRUE(Contains(out, "(1,2,2) 11+1=8+4 (8,1)\nWeight 8, pass 2: ")) << out;
  // The suffixes of the logged lines and the statistics lines, in order: a
  // line carries the weight and the passes done before its own pass.
  std::string line, logged, order;
  for (std::istringstream in(out); std::getline(in, line);) {
    line = line.substr(line.rfind('\r') + 1);
    if (line[0] == '(') logged += line + "\n";
    if (line[0] == '(') order += line.substr(line.rfind(" (") + 1) + " ";
    if (line[0] == 'W') order += line.substr(0, line.find(':')) + "; ";
  }
  EXPECT_EQ(order,
            "(8,0) (8,0) (8,0) (8,0) (8,0) (8,0) Weight 8, pass 1; (8,1) Weight 8, pass 2; "
            "Weight 8, pass 3; Weight 4, pass 1; Weight 2, pass 1; Weight 1, pass 1; ");
  EXPECT_EQ(ReadFile("DATA1.TXT"), logged);
}

}  // namespace
}  // namespace quorvex
