#include "control/run_state.hpp"
#include "store/best_right_table.hpp"
#include "store/result_log.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
class Notation : public FolderTest {};

TEST_F(Notation, LogAndListingLinesByteForByte) {
  std::string out = CaptureOutput([] {
    gRun.CurrentPower = 3;
    LogSolution({nullptr, nullptr, 0, 1, 3, 4, {{6, 1}, {5, -1}, {4, -1}, {3, -1}}});
    gRun.CurrentPower = 2;
    LogSolution({nullptr, nullptr, 0, 2, 2, 3, {{7, -1}, {5, 2}, {1, -1}}});
    gRun.CurrentPower = 3;
    LogSolution({nullptr, nullptr, 0, 1, 8, 2, {{2, 1}, {1, -8}}});
    gRun.CurrentPower = 4;
    gRun.CurrentWeight = 8;
    gRun.PassCounter = 1;
    // Sides interleaved in Term order: each side keeps its own order.
    LogSolution({nullptr, nullptr, 0, 2, 2, 4, {{158, 1}, {134, -1}, {133, -1}, {59, 1}}});
  });
  EXPECT_EQ(out,
            "(3,1,3) 6=5+4+3 (0,0)\n(2,2,2) 5*2=7+1 (0,0)\n(3,1,8) 2=1*8 (0,0)\n"
            "(4,2,2) 158+59=134+133 (8,1)\n");
  EXPECT_EQ(ReadFile("DATA3.TXT"), "(3,1,3) 6=5+4+3 (0,0)\n(3,1,8) 2=1*8 (0,0)\n");
  EXPECT_EQ(ReadFile("DATA4.TXT"), "(4,2,2) 158+59=134+133 (8,1)\n");

  gBest.NoteBound = 4;
  out = CaptureOutput([] {
    PrintSolutionNote({nullptr, nullptr, 0, 2, 2, 4, {{158, 1}, {59, 1}, {134, -1}, {133, -1}}});
    PrintSolutionNote(
        {nullptr, nullptr, 0, 1, 4, 5, {{353, 1}, {315, -1}, {272, -1}, {120, -1}, {30, -1}}});
  });
  EXPECT_EQ(out,
            "(4,2,2) 158+59=134+133(Note: 1.000000)\n(4,1,4) 353=315+272+120+30(Note: 0.800000)\n");
}

TEST_F(Notation, WrittenLinesReadBackAmongOtherLines) {
  gRun.CurrentPower = 3;
  gBest.NoteBound = 7;
  std::string listing = CaptureOutput([] {
    LogSolution({nullptr, nullptr, 0, 1, 3, 4, {{6, 1}, {5, -1}, {4, -1}, {3, -1}}});
    LogSolution({nullptr, nullptr, 0, 1, 8, 2, {{2, 1}, {1, -8}}});
    PrintSolutionNote({nullptr, nullptr, 0, 2, 2, 4, {{12, 1}, {1, 1}, {10, -1}, {9, -1}}});
  });
  const std::string extractLine = listing.substr(listing.find("(3,2,2)"));
  ASSERT_EQ(extractLine, "(3,2,2) 12+1=10+9(Note: 1.750000)\n");
  // A listing line, a header without its space and "+" for "=" (the counts
  // split the sides), comments, a blank line, other powers (one malformed).
  WriteFile("DATA3.TXT", ReadFile("DATA3.TXT") + "; c\n\n/ c\n" + extractLine +
                             "(3,2,2)9+10+12+1 (0,0)\r\n(4,2,2) 158+59=134+133 (0,0)\n(5,x\n");
  ResetStore();
  EXPECT_EQ(CaptureOutput([] { EXPECT_EQ(LoadResultLog(3), 0); }), "");
  std::string stored;
  for (const SolutionRecord& slot : gStore.slots) {
    if (slot.termCount != 0) stored += FormatSolution(slot, 3) + "\n";
  }
  EXPECT_EQ(stored, "(3,1,3) 6=5+4+3\n(3,1,8) 2=1*8\n(3,2,2) 12+1=10+9\n(3,2,2) 10+9=12+1\n");
}

}  // namespace
}  // namespace quorvex
