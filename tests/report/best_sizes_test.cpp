#include <filesystem>

#include "report/best_sizes.hpp"
#include "store/solution_notation.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

using BestSizesTest = FolderTest;

TEST_F(BestSizesTest, FewestRightPowersPerLeftCountWitnessAndSource) {
  WriteFile("DATABASE.TXT",
            "(4,1,4) 353=315+272+120+30\n"
            "(4,2,2) 158+59=134+133\n"
            "(3,1,3) 6=5+4+3\n");
  WriteFile("DATA4.TXT",
            "(4,1,4) 300=200+100+50+40 (0,0)\n"        // ties the seed with a smaller largest base
            "(4,2,2) 200+1=199+2 (0,0)\n"              // ties with a larger one
            "(4,2,2) 134+133=158+59 (0,0)\n"           // the seed turned round
            "(4,3,3) 50+40+30=49+20+10 (0,0)\n"        // loses on its second base
            "(4,6,4) 9+8+7+6+5+4=30+20+11+10 (0,0)\n"  // m is the smaller side
            "; a comment\n");
  WriteFile("DATA4.BIN",
            Int32Bytes({4}) + Int32Bytes({2, 500, 1, 400, -5}) +    // (1,5): more powers
                Int32Bytes({4, 158, 2, 59, 2, 134, -2, 133, -2}) +  // the seed doubled
                Int32Bytes({6, 50, -1, 45, 1, 40, -1, 30, -1, 20, 1, 10, 1}) +  // turned round
                Int32Bytes({4, 190, -1, 180, 1, 170, -1, 160, 1}));  // loses on its largest base
  const BestSizes sizes = FindBestSizes(4);
  std::vector<std::string> rows;
  for (const BestSize& row : sizes.rows) {
    rows.push_back(std::to_string(row.n) + (row.seeded ? " seed " : " found ") +
                   FormatSolution(row.witness, 4));
  }
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "4 found (4,1,4) 300=200+100+50+40",
                      "2 seed (4,2,2) 158+59=134+133",
                      "3 found (4,3,3) 50+40+30=45+20+10",
                      "6 found (4,4,6) 30+20+11+10=9+8+7+6+5+4",
                  }));
  EXPECT_EQ(sizes.checkpoint.read, 4);
  EXPECT_TRUE(sizes.seeds.failure.empty() && sizes.log.failure.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 3);  // nothing written
}

}  // namespace
}  // namespace quorvex
