#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

const std::string kParams =
    "POWER=4\nSTART=20\nEND=22\nBLOCKSIZE=10\nWORKTERMS=0\nITERATIONS=3\nSAVE=1\n";

std::string Snapshot(const std::string& folder) {
  std::string all;
  for (const char* name : {"PARAMS.INI", "DATA4.TXT", "DATA4.BIN"}) {
    all += ReadFile(folder + "/" + name) + "|";
  }
  return all;
}

class Merge : public FolderTest {
 protected:
  // A folder searched with its own seed.
  void Searched(const std::string& name, const std::string& seed) {
    std::filesystem::create_directory(name);
    WriteFile(name + "/PARAMS.INI", kParams);
    ASSERT_EQ(RunProgram(folder_ + "/" + name, {"--seed", seed}).status, 0);
  }
};

TEST_F(Merge, TakesCheckedSolutionsOnceAndWritesNoOtherFolder) {
  Searched("a", "1");
  Searched("b", "2");
  // A folder whose log holds a false identity besides a copy of b's store.
  std::filesystem::create_directory("d");
  std::filesystem::copy_file("b/DATA4.BIN", "d/DATA4.BIN");
  WriteFile("d/DATA4.TXT", "(4,2,2) 7+1=6+5 (0,0)\n");
  std::filesystem::create_directory("here");
  WriteFile("here/PARAMS.INI", kParams);
  const std::string before = Snapshot("a") + Snapshot("b") + Snapshot("d");

  ProgramResult r = RunProgram(folder_ + "/here", {"merge", "../a", "../b", "../d"});
  EXPECT_EQ(r.status, 1);  // the false identity
  EXPECT_TRUE(Contains(r.output, "False identity in ../d/DATA4.TXT: (4,2,2) 7+1=6+5\n"));
  std::smatch counts;
  ASSERT_TRUE(std::regex_search(r.output, counts,
                                std::regex("From \\.\\./a: ([0-9]+) solutions, ([0-9]+) new\n")))
      << r.output;
  EXPECT_GT(std::stoi(counts[2]), 0);
  // b's store again, so nothing of d is new but what was false.
  EXPECT_TRUE(std::regex_search(r.output, std::regex("From \\.\\./d: [0-9]+ solutions, 0 new, "
                                                     "1 false, left out\n")))
      << r.output;
  EXPECT_EQ(Snapshot("a") + Snapshot("b") + Snapshot("d"), before);
  EXPECT_EQ(RunProgram(folder_ + "/here", {"verify"}).status, 0);
  // Every solution of a's store is in this folder's store now, and a second
  // merge finds nothing new.
  const std::regex note("\\(Note: [^)]*\\)");
  const std::string here =
      std::regex_replace(RunProgram(folder_ + "/here", {"extract"}).output, note, "");
  std::istringstream listed(
      std::regex_replace(RunProgram(folder_ + "/a", {"extract"}).output, note, ""));
  int32_t solutions = 0;
  for (std::string line; std::getline(listed, line);) {
    if (line.rfind("(4,", 0) != 0) continue;
    ++solutions;
    EXPECT_TRUE(Contains(here, line + "\n")) << line;
  }
  EXPECT_GT(solutions, 0);
  r = RunProgram(folder_ + "/here", {"merge", "../a", "../b"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::regex_search(r.output,
                                std::regex("Merged 2 folders: [0-9]+ solutions, 0 new, 0 false\n")))
      << r.output;

  // The folder's lock is held for a merge, as for a search.
  int held = open((folder_ + "/here").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  r = RunProgram(folder_ + "/here", {"merge", "../a"});
  close(held);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Contains(r.output, "Another quorvex run is using this folder\n"));
}

}  // namespace
}  // namespace quorvex
