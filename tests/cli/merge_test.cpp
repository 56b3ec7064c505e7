// Merges of folders that are damaged, missing or stopped midway: what can be
// read comes in, checked; the other folders are never written; and this
// folder's files always load whole again.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
namespace fs = std::filesystem;

const std::string kTrue[] = {"(4,2,2) 158+59=134+133", "(4,1,4) 353=315+272+120+30",
                             "(4,2,3) 7*2=8+5+3", "(4,3,3) 16+14+7=18+6+3"};

// The sorted listing of a folder's store, or its refusal.
std::string Listing(const std::string& folder) {
  const Outcome listed = RunProgram(folder, {"extract"});
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = listed.first.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = listed.first.substr(at, end - at);
    if (line.starts_with("(")) lines.push_back(line.substr(0, line.find("(Note")));
  }
  std::sort(lines.begin(), lines.end());
  std::string all = "status " + std::to_string(listed.second) + "\n";
  for (const std::string& line : lines) all += line + "\n";
  return all;
}

using Merge = FolderTest;

TEST_F(Merge, DamagedFoldersGiveWhatTheyHoldBeforeTheDamage) {
  for (const char* name : {"here", "torn", "cut", "corrupt", "nofiles"}) fs::create_directory(name);
  WriteFile("here/PARAMS.INI",
            "POWER=4\nSTART=20\nEND=20\nBLOCKSIZE=10\nWORKTERMS=0\nITERATIONS=1\n");
  // A log whose last append was cut off; a checkpoint cut inside its second
  // entry; one whose second entry has a multiplicity 0; a file where a folder
  // should be.
  WriteFile("torn/DATA4.TXT", kTrue[0] + " (0,0)\n" + kTrue[1] + " (0,0)\n(4,2,3) 7*2=8+5");
  WriteFile("cut/DATA4.BIN", Int32Bytes({2, 4, 8, -1, 7, 2, 5, -1, 3, -1, 3, 16, 1}));
  WriteFile("corrupt/DATA4.BIN",
            Int32Bytes({2, 6, 18, -1, 16, 1, 14, 1, 7, 1, 6, -1, 3, -1, 2, 5, 1, 2, 0}));
  WriteFile("notafolder", "");
  const std::string others =
      FolderSnapshot("torn") + FolderSnapshot("cut") + FolderSnapshot("corrupt");

  const Outcome r = RunProgram(folder_ + "/here", {"merge", "../torn", "../cut", "../corrupt",
                                                   "../nofiles", "../notafolder"});
  EXPECT_EQ(r.second, 1);
  for (const char* said :
       {"From ../torn: 2 solutions, 2 new\n",
        "Stopped reading ../cut/DATA4.BIN: Corrupted bin file\n",
        "From ../cut: 1 solutions, 1 new\n",
        "Stopped reading ../corrupt/DATA4.BIN: Corrupted data in the file\n",
        "From ../corrupt: 1 solutions, 1 new\n", "No DATA4.TXT or DATA4.BIN in ../nofiles\n",
        "No folder ../notafolder\n", "Merged 5 folders: 4 solutions, 4 new, 0 false\n"}) {
    EXPECT_TRUE(Contains(r.first, said)) << said << "\n" << r.first;
  }
  EXPECT_EQ(FolderSnapshot("torn") + FolderSnapshot("cut") + FolderSnapshot("corrupt"), others);
  EXPECT_EQ(Listing(folder_ + "/here"),
            "status 0\n" + kTrue[1] + "\n" + kTrue[0] + "\n" + kTrue[2] + "\n" + kTrue[3] + "\n");
  EXPECT_EQ(RunProgram(folder_ + "/here", {"verify"}).second, 0);
}

TEST_F(Merge, AStopKeepsWhatCameInAndTheNextMergeTakesTheRest) {
  // 10000 solutions to take: a stop falls among them, or before or after.
  fs::create_directory("source");
  fs::copy_file(std::string(QUORVEX_SOURCE_DIR) + "/tests/data/DATA5.BIN", "source/DATA5.BIN");
  const std::string params = "POWER=5\nSTART=20\nEND=20\nBLOCKSIZE=10\nWORKTERMS=0\nITERATIONS=1\n";
  const std::string source = FolderSnapshot("source");
  fs::create_directory("whole");
  WriteFile("whole/PARAMS.INI", params);
  ASSERT_EQ(RunProgram(folder_ + "/whole", {"merge", "../source"}).second, 0);
  const std::string everything = Listing(folder_ + "/whole");
  ASSERT_TRUE(Contains(everything, "status 0\n"));

  for (const int delay : {0, 15, 40, 90, 180}) {
    SCOPED_TRACE("stopped after " + std::to_string(delay) + " ms");
    fs::remove_all("here");
    fs::create_directory("here");
    WriteFile("here/PARAMS.INI", params);
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir("here") != 0 || !std::freopen("console.out", "w", stdout)) _exit(126);
      alarm(60);
      execl(QUORVEX_BINARY, QUORVEX_BINARY, "merge", "../source", nullptr);
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string said = ReadFile("here/console.out");
    if (WIFSIGNALED(status)) {
      // The signal came before the program could take it as a stop, while
      // nothing was written yet.
      EXPECT_EQ(WTERMSIG(status), SIGTERM);
      EXPECT_EQ(said, "");
    } else {
      // Ended by the stop, or done before it came.
      EXPECT_TRUE(WEXITSTATUS(status) == 1 || Contains(said, "Merged 1 folders: ")) << said;
    }
    std::remove("here/console.out");
    for (const auto& entry : fs::directory_iterator("here")) {
      EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
    // What came in loads and holds; the next merge brings the store to the
    // same solutions as a merge never stopped.
    EXPECT_TRUE(Contains(Listing(folder_ + "/here"), "status 0\n"));
    EXPECT_EQ(RunProgram(folder_ + "/here", {"verify"}).second, 0);
    const Outcome again = RunProgram(folder_ + "/here", {"merge", "../source"});
    EXPECT_EQ(again.second, 0) << again.first;
    EXPECT_EQ(Listing(folder_ + "/here"), everything);
  }
  EXPECT_EQ(FolderSnapshot("source"), source);
}

}  // namespace
}  // namespace quorvex
