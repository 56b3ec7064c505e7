#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

class Reports : public FolderTest {
 protected:
  Outcome Run(const std::vector<std::string>& args) {
    ProgramResult r = RunProgram(folder_, args, 30);
    return {r.output, r.status};
  }
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
  const std::string png = ReadFile("best.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(12, 12), std::string("IHDR\0\0\2\x80\0\0\1\xe0", 12));  // 640 x 480

  std::filesystem::remove("PARAMS.INI");
  Outcome r = Run({"best"});
  EXPECT_EQ(r.second, 1);
  EXPECT_TRUE(Contains(r.first, "No PARAMS.INI file")) << r.first;
  EXPECT_EQ(Run({"best", "--power", "3"}),
            Outcome("No DATA3.TXT file\nNo DATA3.BIN file\n"
                    "Best sizes for k=3 from DATABASE.TXT, DATA3.TXT and DATA3.BIN\nNo solutions\n",
                    0));
}

TEST_F(Reports, DamageIsReportedAndNothingIsWritten) {
  WriteFile("PARAMS.INI", kParams);
  WriteFile("DATA4.TXT", "(4,1,2) 9=8+7 (0,0)\n(4, 1,1) 5=4\n");
  WriteFile("DATA4.BIN", Int32Bytes({2, 1, 9}));
  const std::string before = Snapshot();
  Outcome r = Run({"best"});
  EXPECT_EQ(r.second, 1);
  EXPECT_TRUE(
      Contains(r.first, "DATA4.TXT, line 2: Bad format 2. The rest of DATA4.TXT is left out.\n"));
  EXPECT_TRUE(Contains(r.first, "DATA4.BIN is damaged after 0 of 2 entries."));
  EXPECT_TRUE(Contains(r.first, "1  2    3  search        (4,1,2) 9=8+7\n"));
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

TEST_F(Reports, OptionsThatDoNotFit) {
  for (auto args : {std::vector<std::string>{"status", "--power", "4"},
                    {"--svg", "a.svg"},
                    {"best", "--svg"},
                    {"best", "--power", "-4"},
                    {"best", "--power", "2147483648"}}) {
    EXPECT_EQ(Run(args).second, 2) << args.back();
  }
}

}  // namespace
}  // namespace quorvex
