#include <filesystem>

#include "control/line_reader.hpp"
#include "store/best_sizes.hpp"
#include "store/solution_notation.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
class BestSizesTest : public FolderTest {};

std::vector<std::string> Rows(const BestSizes& sizes) {
  std::vector<std::string> rows;
  for (const BestSize& row : sizes.rows) {
    rows.push_back(std::to_string(row.n) + (row.seeded ? " seed " : " found ") +
                   FormatSolution(row.witness, 4));
  }
  return rows;
}

std::string Folder() {
  std::string all;
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    all += entry.path().string() + "=" + ReadFile(entry.path().string()) + ";";
  }
  return all;
}

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
  const std::string before = Folder();
  const BestSizes sizes = FindBestSizes(4);
  EXPECT_EQ(Rows(sizes), (std::vector<std::string>{
                             "4 found (4,1,4) 300=200+100+50+40",
                             "2 seed (4,2,2) 158+59=134+133",
                             "3 found (4,3,3) 50+40+30=45+20+10",
                             "6 found (4,4,6) 30+20+11+10=9+8+7+6+5+4",
                         }));
  EXPECT_EQ(sizes.checkpoint.read, 4);
  EXPECT_TRUE(sizes.seeds.failure.empty() && sizes.log.failure.empty());
  EXPECT_EQ(Folder(), before);
}

TEST_F(BestSizesTest, DamageEndsOnlyTheReadingOfItsFile) {
  WriteFile("DATABASE.TXT", "(4,1,1) 3=2\n" + std::string(kLineLimit, '/') + "\n(4,1,0) 1=\n");
  WriteFile("DATA4.TXT", "(4,2,2) 9+8=7+6 (0,0)\n(4, 2,2) 5+4=3+2\n(4,2,1) 5+4=3\n");
  WriteFile("DATA4.BIN", Int32Bytes({3, 2, 9, 1, 5, -2, 3, 7}));
  const std::string before = Folder();
  const BestSizes sizes = FindBestSizes(4);
  EXPECT_EQ(Rows(sizes),
            (std::vector<std::string>{"1 seed (4,1,1) 3=2", "2 found (4,2,2) 9+8=7+6"}));
  EXPECT_TRUE(sizes.seeds.longLine);
  EXPECT_EQ(sizes.seeds.line, 2);
  EXPECT_EQ(sizes.log.failure, "Bad format 2\n");
  EXPECT_EQ(sizes.log.line, 2);
  EXPECT_TRUE(sizes.checkpoint.damaged);
  EXPECT_EQ(sizes.checkpoint.read, 1);
  EXPECT_EQ(Folder(), before);  // no Bug.txt, nothing rewritten
}

}  // namespace
}  // namespace quorvex
