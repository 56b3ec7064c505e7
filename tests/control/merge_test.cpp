#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
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

// The line that begins with `start`, up to its line end ("" when none).
std::string LineFrom(const std::string& output, const std::string& start) {
  const size_t at = output.find(start);
  return at == std::string::npos ? "" : output.substr(at, output.find('\n', at) - at);
}

// The solutions of an extract listing, without their notes, one per line.
std::string Listed(const std::string& listing) {
  std::istringstream lines(listing);
  std::string solutions;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("(4,", 0) == 0) solutions += line.substr(0, line.find("(Note:")) + "\n";
  }
  return solutions;
}

class Merge : public FolderTest {
 protected:
  // A folder searched with its own seed.
  void Searched(const std::string& name, const std::string& seed) {
    std::filesystem::create_directory(name);
    WriteFile(name + "/PARAMS.INI", kParams);
    ASSERT_EQ(RunProgram(folder_ + "/" + name, {"--seed", seed}).second, 0);
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

  Outcome r = RunProgram(folder_ + "/here", {"merge", "../a", "../b", "../d"});
  EXPECT_EQ(r.second, 1);  // the false identity
  EXPECT_TRUE(Contains(r.first, "False identity in ../d/DATA4.TXT: (4,2,2) 7+1=6+5\n"));
  const std::string fromA = LineFrom(r.first, "From ../a: ");
  EXPECT_TRUE(Contains(fromA, " solutions, ") && !Contains(fromA, " 0 new")) << r.first;
  // b's store again, so nothing of d is new but what was false.
  const std::string fromD = LineFrom(r.first, "From ../d: ");
  EXPECT_TRUE(Contains(fromD, " solutions, 0 new, 1 false, left out")) << r.first;
  EXPECT_EQ(Snapshot("a") + Snapshot("b") + Snapshot("d"), before);
  EXPECT_EQ(RunProgram(folder_ + "/here", {"verify"}).second, 0);
  // Every solution of a's store is in this folder's store now, and a second
  // merge finds nothing new.
  const std::string here = Listed(RunProgram(folder_ + "/here", {"extract"}).first);
  std::istringstream listed(Listed(RunProgram(folder_ + "/a", {"extract"}).first));
  int32_t solutions = 0;
  for (std::string line; std::getline(listed, line); ++solutions) {
    EXPECT_TRUE(Contains(here, line + "\n")) << line;
  }
  EXPECT_GT(solutions, 0);
  r = RunProgram(folder_ + "/here", {"merge", "../a", "../b"});
  EXPECT_EQ(r.second, 0);
  EXPECT_TRUE(Contains(LineFrom(r.first, "Merged 2 folders: "), " solutions, 0 new, 0 false"))
      << r.first;

  // The folder's lock is held for a merge, as for a search.
  int held = open((folder_ + "/here").c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  r = RunProgram(folder_ + "/here", {"merge", "../a"});
  close(held);
  EXPECT_EQ(r.second, 1);
  EXPECT_TRUE(Contains(r.first, "Another quorvex run is using this folder\n"));
}

}  // namespace
}  // namespace quorvex
