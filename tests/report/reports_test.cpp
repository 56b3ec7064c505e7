#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "report/iteration_rate.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// SAVE=10, NEMB=50; PARAMS.INI written at 10000.
TEST(IterationRate, CountersAndFileTimesThatAgree) {
  struct Case {
    const char* what;
    int32_t iteration, save, nemb;  // CURRENTITERATION, CURRENTSAVE, CURRENTNEMB
    std::optional<double> checkpoint, stats;
    int64_t iterations;  // 0: not known
    double from;
  };
  const Case cases[] = {
      {"step end after a save point", 0, 4, 30, 9000, std::nullopt, 4, 9000},
      {"step end after a save point after a pass", 0, 4, 30, 9000, 5000, 30, 5000},
      {"step end after a cross-reduction", 0, 6, 6, 8000, 8500, 6, 8500},
      {"its pass ended before the checkpoint", 0, 6, 6, 8000, 7000, 0, 0},
      {"save point after a cross-reduction", 7, 0, 29, 10000.2, 7000, 30, 7000},
      {"stop after a cross-reduction", 7, 3, 29, 10000.2, 7000, 29, 7000},
      {"cross-reduction point", 7, 3, 0, 10000.2, 7000, 0, 0},
      {"its pass still running", 7, 3, 29, 10000.2, 10001, 0, 0},
      {"mid-step without checkpoint", 7, 3, 29, 9000, 5000, 0, 0},
      {"step end right at a save point", 0, 0, 30, 9999.9, std::nullopt, 0, 0},
      {"the same after a pass", 0, 0, 30, 9999.9, 5000, 30, 5000},
      {"no cross-reduction line", 7, 0, 29, 10000.2, std::nullopt, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Parameters p = DefaultParameters();
    p.SAVE = 10;
    p.NEMB = 50;
    p.CURRENTITERATION = c.iteration;
    p.CURRENTSAVE = c.save;
    p.CURRENTNEMB = c.nemb;
    const auto rate = EstimateIterationRate(p, RunFileTimes{10000, c.checkpoint, c.stats});
    ASSERT_EQ(rate.has_value(), c.iterations != 0);
    if (!rate) continue;
    EXPECT_EQ(std::tuple(rate->iterations, rate->from, rate->to),
              std::tuple(c.iterations, c.from, 10000.0));
  }
}

TEST(IterationRate, SchedulesThatAreOff) {
  Parameters p = DefaultParameters();
  p.SAVE = 0;  // CURRENTSAVE stays 0: only the cross-reduction marks a span
  p.NEMB = 50;
  p.CURRENTNEMB = 20;
  const RunFileTimes times{3600, 1700, 1800};
  const auto rate = EstimateIterationRate(p, times);
  ASSERT_TRUE(rate.has_value());
  EXPECT_EQ(rate->PerHour(), 40);
  p.WEIGHT = 0;  // no STATS.TXT line to mark the end of a pass
  EXPECT_FALSE(EstimateIterationRate(p, times).has_value());
  p.NEMB = 0;
  p.WEIGHT = 8;
  EXPECT_FALSE(EstimateIterationRate(p, times).has_value());
}

class Reports : public FolderTest {
 protected:
  Outcome Run(const std::vector<std::string>& args) { return RunProgram(folder_, args, 30); }
  // Names, contents and modification times of everything in the folder.
  std::string Snapshot() {
    std::string all;
    for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
      struct stat info;
      stat(entry.path().c_str(), &info);
      all += entry.path().string() + " " + std::to_string(info.st_mtim.tv_nsec) + " " +
             ReadFile(entry.path().string()) + "\n";
    }
    return all;
  }
};

const std::string kParams =
    "POWER=4\nSTART=10\nEND=30\nBLOCKSIZE=20\nWORKTERMS=0\nITERATIONS=100\n";

TEST_F(Reports, BestTableAndItsPicture) {
  WriteFile("PARAMS.INI", kParams);
  WriteFile("DATABASE.TXT", "(4,2,2) 158+59=134+133\n");
  WriteFile("DATA4.TXT", "(4,1,4) 300=200+100+50+40 (0,0)\n");
  const std::string before = Snapshot();
  EXPECT_EQ(Run({"best"}), Outcome("No DATA4.BIN file\n"
                                   "Best sizes for k=4 from DATABASE.TXT, DATA4.TXT and DATA4.BIN\n"
                                   "m  n  m+n  source        witness\n"
                                   "1  4    5  search        (4,1,4) 300=200+100+50+40\n"
                                   "2  2    4  DATABASE.TXT  (4,2,2) 158+59=134+133\n",
                                   0));
  EXPECT_EQ(Snapshot(), before);

  EXPECT_EQ(Run({"best", "--svg", "best.svg"}),
            Outcome("No DATA4.BIN file\nWrote best.svg: best sizes of 2 left counts for k=4\n", 0));
  EXPECT_FALSE(FileExists("best.svg.tmp"));
  const std::string svg = ReadFile("best.svg");
  EXPECT_TRUE(Contains(svg, "<title>(4,1,4) 300=200+100+50+40</title></circle>"));
  EXPECT_TRUE(Contains(svg, "<title>(4,2,2) 158+59=134+133</title></rect>"));
  EXPECT_TRUE(Contains(svg, ">m + n = 4</text>"));
  ASSERT_EQ(std::system("xmllint --noout best.svg"), 0) << "not well-formed XML";
  ASSERT_EQ(std::system("rsvg-convert best.svg -o best.png"), 0);
  // A PNG keeps its width and height as 32-bit big-endian numbers from byte 16.
  EXPECT_EQ(ReadFile("best.png").substr(12, 12), std::string("IHDR\0\0\2\x80\0\0\1\xe0", 12));

  std::filesystem::remove("PARAMS.INI");
  const Outcome r = Run({"best"});
  EXPECT_EQ(r.second, 1);
  EXPECT_TRUE(Contains(r.first, "No PARAMS.INI file")) << r.first;
  EXPECT_EQ(Run({"best", "--power", "3"}),
            Outcome("No DATA3.TXT file\nNo DATA3.BIN file\n"
                    "Best sizes for k=3 from DATABASE.TXT, DATA3.TXT and DATA3.BIN\nNo solutions\n",
                    0));
}

TEST_F(Reports, DamageEndsOnlyTheReadingOfItsFileAndNothingIsWritten) {
  WriteFile("PARAMS.INI", kParams);
  WriteFile("DATABASE.TXT", "(4,1,1) 3=2\n" + std::string(8000, '/') + "\n(4,1,0) 1=\n");
  WriteFile("DATA4.TXT", "(4,2,2) 9+8=7+6 (0,0)\n(4, 2,2) 5+4=3+2\n(4,2,1) 5+4=3\n");
  WriteFile("DATA4.BIN", Int32Bytes({3, 2, 9, 1, 5, -2, 3, 7}));
  const std::string before = Snapshot();
  const Outcome r = Run({"best"});
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
  EXPECT_EQ(Run({"status"}).second, 1);
  EXPECT_EQ(Snapshot(), before);
  WriteFile("PARAMS.INI", kParams + "COLOUR=3\n");
  EXPECT_EQ(Run({"status"}), Outcome("Cannot read PARAMS.INI, line 7: Bad parameter\n", 1));
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
  const std::string before = Snapshot();
  Outcome r = Run({"status"});
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
  r = Run({"status"});
  EXPECT_TRUE(Contains(r.first, "Search: running (a search holds this folder)\n")) << r.first;
  EXPECT_TRUE(Contains(r.first, "Speed: 10 iterations per hour (")) << r.first;
  close(held);
  EXPECT_EQ(Snapshot(), before);
}

}  // namespace
}  // namespace quorvex
