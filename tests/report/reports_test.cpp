#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "report/iteration_rate.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// The span of iterations EstimateIterationRate finds ("none" when it finds
// none), for PARAMS.INI written at 10000 after DATA4.BIN and STATS.TXT were
// written at `checkpoint` and `stats`, with these counters and periods.
std::string Rate(int32_t iteration, int32_t save, int32_t nemb, std::optional<double> checkpoint,
                 std::optional<double> stats, int32_t savePeriod = 10, int32_t nembPeriod = 50,
                 int32_t weight = 8) {
  Parameters p = DefaultParameters();
  std::tie(p.CURRENTITERATION, p.CURRENTSAVE, p.CURRENTNEMB, p.SAVE, p.NEMB, p.WEIGHT) =
      std::tuple(iteration, save, nemb, savePeriod, nembPeriod, weight);
  const auto rate = EstimateIterationRate(p, RunFileTimes{10000, checkpoint, stats});
  if (!rate) return "none";
  return std::to_string(rate->iterations) + " from " + std::to_string(rate->from).substr(0, 4) +
         " at " + std::to_string(rate->PerHour()).substr(0, 4) + "/h";
}

TEST(IterationRate, CountersAndFileTimesThatAgree) {
  const auto none = std::nullopt;
  // Step ends after a save point, after a pass too, or after a cross-reduction.
  EXPECT_EQ(Rate(0, 4, 30, 9000, none), "4 from 9000 at 14.4/h");
  EXPECT_EQ(Rate(0, 4, 30, 9000, 5000), "30 from 5000 at 21.6/h");
  EXPECT_EQ(Rate(0, 6, 6, 8000, 8500), "6 from 8500 at 14.4/h");
  EXPECT_EQ(Rate(0, 6, 6, 8000, 7000), "none");  // its pass ended before the checkpoint
  // A save point, and a stop, after a cross-reduction; the cross-reduction point.
  EXPECT_EQ(Rate(7, 0, 29, 10000.2, 7000), "30 from 7000 at 36.0/h");
  EXPECT_EQ(Rate(7, 3, 29, 10000.2, 7000), "29 from 7000 at 34.8/h");
  EXPECT_EQ(Rate(7, 3, 0, 10000.2, 7000), "none");
  EXPECT_EQ(Rate(7, 3, 29, 10000.2, 10001), "none");  // its pass still running
  EXPECT_EQ(Rate(7, 3, 29, 9000, 5000), "none");      // mid-step without a checkpoint
  // A step that ends right at a save point.
  EXPECT_EQ(Rate(0, 0, 30, 9999.9, none), "none");
  // With SAVE=0 (CURRENTSAVE stays 0) only the cross-reduction marks a span;
  // with NEMB=0 nothing does, nor with WEIGHT=0, which writes no STATS.TXT line.
  EXPECT_EQ(Rate(0, 0, 20, 8000, 8200, 0), "20 from 8200 at 40.0/h");
  EXPECT_EQ(Rate(0, 0, 20, 8000, 8200, 0, 0), "none");
  EXPECT_EQ(Rate(0, 0, 20, 8000, 8200, 0, 50, 0), "none");
}

using Reports = FolderTest;

const std::string kParams =
    "POWER=4\nSTART=10\nEND=30\nBLOCKSIZE=20\nWORKTERMS=0\nITERATIONS=100\n";

TEST_F(Reports, BestTableAndItsPicture) {
  WriteFile("PARAMS.INI", kParams);
  WriteFile("DATABASE.TXT", "(4,2,2) 158+59=134+133\n");
  WriteFile("DATA4.TXT", "(4,1,4) 300=200+100+50+40 (0,0)\n");
  const std::string before = FolderSnapshot(".");
  EXPECT_EQ(RunProgram(".", {"best"}),
            Outcome("No DATA4.BIN file\n"
                    "Best sizes for k=4 from DATABASE.TXT, DATA4.TXT and DATA4.BIN\n"
                    "m  n  m+n  source        witness\n"
                    "1  4    5  search        (4,1,4) 300=200+100+50+40\n"
                    "2  2    4  DATABASE.TXT  (4,2,2) 158+59=134+133\n",
                    0));
  EXPECT_EQ(FolderSnapshot("."), before);

  EXPECT_EQ(RunProgram(".", {"best", "--svg", "best.svg"}),
            Outcome("No DATA4.BIN file\nWrote best.svg: best sizes of 2 left counts for k=4\n", 0));
  EXPECT_FALSE(FileExists("best.svg.tmp"));
  const std::string svg = ReadFile("best.svg");
  EXPECT_TRUE(Contains(svg, "<title>(4,1,4) 300=200+100+50+40</title></circle>"));
  EXPECT_TRUE(Contains(svg, "<title>(4,2,2) 158+59=134+133</title></rect>"));
  EXPECT_TRUE(Contains(svg, ">m + n = 4</text>"));
  ASSERT_EQ(std::system("xmllint --noout best.svg"), 0) << "not well-formed XML";
  EXPECT_EQ(std::system("rsvg-convert best.svg -o best.png"), 0) << "not drawable";

  std::filesystem::remove("PARAMS.INI");
  const Outcome r = RunProgram(".", {"best"});
  EXPECT_EQ(r.second, 1);
  EXPECT_TRUE(Contains(r.first, "No PARAMS.INI file")) << r.first;
  EXPECT_EQ(RunProgram(".", {"best", "--power", "3"}),
            Outcome("No DATA3.TXT file\nNo DATA3.BIN file\n"
                    "Best sizes for k=3 from DATABASE.TXT, DATA3.TXT and DATA3.BIN\nNo solutions\n",
                    0));
}

TEST_F(Reports, DamageEndsOnlyTheReadingOfItsFileAndNothingIsWritten) {
  WriteFile("PARAMS.INI", kParams);
  WriteFile("DATABASE.TXT", "(4,1,1) 3=2\n" + std::string(8000, '/') + "\n(4,1,0) 1=\n");
  WriteFile("DATA4.TXT", "(4,2,2) 9+8=7+6 (0,0)\n(4, 2,2) 5+4=3+2\n(4,2,1) 5+4=3\n");
  WriteFile("DATA4.BIN", Int32Bytes({3, 2, 9, 1, 5, -2, 3, 7}));
  WriteFile("REDUCER.TXT", "REDUCER=BKZ_FP\nREDUCEDAGAIN=-1\n");
  const std::string before = FolderSnapshot(".");
  const Outcome r = RunProgram(".", {"best"});
  EXPECT_EQ(r.second, 1);
  for (const char* line : {"DATABASE.TXT, line 2: longer than 7999 characters. The rest of "
                           "DATABASE.TXT is left out.\n",
                           "DATA4.TXT, line 2: Bad format 2. The rest of DATA4.TXT is left out.\n",
                           "DATA4.BIN is damaged after 1 of 3 entries. The rest is left out.\n",
                           "m  n  m+n  source        witness\n"
                           "1  1    2  DATABASE.TXT  (4,1,1) 3=2\n"
                           "2  2    4  search        (4,2,2) 9+8=7+6\n"}) {
    EXPECT_TRUE(Contains(r.first, line)) << line << "\nin:\n" << r.first;
  }
  const Outcome status = RunProgram(".", {"status"});
  EXPECT_EQ(status.second, 1);
  EXPECT_TRUE(Contains(status.first, "REDUCER.TXT is damaged: the reducer is not known.\n"));
  EXPECT_EQ(FolderSnapshot("."), before);
  WriteFile("PARAMS.INI", kParams + "COLOUR=3\n");
  EXPECT_EQ(RunProgram(".", {"status"}),
            Outcome("Cannot read PARAMS.INI, line 7: Bad parameter\n", 1));
  EXPECT_FALSE(FileExists("Bug.txt"));
}

TEST_F(Reports, StatusOfAStoppedAndARunningSearch) {
  WriteFile("PARAMS.INI", kParams + "SAVE=10\nCURRENTSAVE=5\n");
  WriteFile("DATA4.BIN", Int32Bytes({1, 2, 9, 1, 8, -1}));
  WriteFile("STATS.TXT",
            "Weight 1, pass 1: old\nWeight 1, pass 1: average terms 2.0 (from 2 to 2)\n");
  // The checkpoint of a save point half an hour before the end of a step.
  const timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 0}};
  const timespec later[2] = {{0, UTIME_OMIT}, {1700001800, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, "DATA4.BIN", times, 0), 0);
  ASSERT_EQ(utimensat(AT_FDCWD, "PARAMS.INI", later, 0), 0);
  const std::string before = FolderSnapshot(".");
  Outcome r = RunProgram(".", {"status"});
  EXPECT_EQ(r.second, 0);
  for (const char* line : {
           "Power: 4\nSearch: not running\n",
           "Iteration: 0 of 100 at MaxBase 10 (0%); 20 steps and 2000 iterations left to END\n",
           "Speed: 10 iterations per hour in the last run (5 iterations from ",
           "Store: 1 solution in DATA4.BIN",
           "  Weight 1, pass 1: average terms 2.0 (from 2 to 2)\n",
           "Warning: 10 of the 20 steps left draw nothing, as WorkTerms exceeds MaxBase there: 20 "
           "bases at MaxBase 10 (WORKTERMS=0",
       }) {
    EXPECT_TRUE(Contains(r.first, line)) << line << "\nin:\n" << r.first;
  }
  int held = open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  r = RunProgram(".", {"status"});
  EXPECT_TRUE(Contains(r.first, "Search: running (a search holds this folder)\n")) << r.first;
  EXPECT_TRUE(Contains(r.first, "Speed: 10 iterations per hour (")) << r.first;
  close(held);
  EXPECT_EQ(FolderSnapshot("."), before);
}

}  // namespace
}  // namespace quorvex
