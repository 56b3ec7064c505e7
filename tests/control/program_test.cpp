#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "control/usage.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

const std::string kParams = "POWER=4\nSTART=10\nEND=11\nBLOCKSIZE=20\nWORKTERMS=0\nITERATIONS=0\n";
const std::string kBanner = "Quorvex beta 10\n";

class Program : public FolderTest {
 protected:
  Outcome Run(const std::vector<std::string>& args) {
    ProgramResult r = RunProgram(folder_, args, 20);
    return {r.output, r.status};
  }
};

TEST_F(Program, CommandLineAndExitStatuses) {
  const std::string usage = kUsageText;
  EXPECT_EQ(Run({}), Outcome(kBanner + "No PARAMS.INI file\nCannot load parameters\n", 1));
  EXPECT_EQ(Run({"--help"}), Outcome(usage, 0));
  EXPECT_EQ(Run({"extract", "-h"}), Outcome(usage, 0));
  EXPECT_EQ(Run({"--version"}), Outcome("quorvex 1.0.0\n", 0));
  for (auto args : {std::vector<std::string>{"--verbose"},
                    {"extract", "-x"},
                    {"--seed"},
                    {"--seed", "-1"},
                    {"--seed", "4294967296"},
                    {"--seed", "12a"}}) {
    Outcome r = Run(args);
    EXPECT_EQ(r.second, 2) << args.back();
    EXPECT_TRUE(Contains(r.first, usage) && !Contains(r.first, kBanner)) << r.first;
  }
  EXPECT_FALSE(FileExists("Bug.txt"));

  WriteFile("PARAMS.INI", kParams + "NOISE=1\n");
  Outcome r = Run({});
  EXPECT_EQ(r.second, 1);
  EXPECT_TRUE(Contains(r.first, "Error: Bad parameter\n\n"));
  EXPECT_EQ(ReadFile("Bug.txt"), "Error: Bad parameter\n\n");
}

TEST_F(Program, CommandWords) {
  WriteFile("PARAMS.INI", kParams);
  for (const char* word : {"extract", "EXTRACT", "Extract"}) {
    Outcome r = Run({"--seed", "7", word, "ignored"});
    EXPECT_EQ(r.second, 0) << word;
    EXPECT_TRUE(Contains(r.first, kBanner) && !Contains(r.first, "Max=")) << r.first;
  }
  EXPECT_EQ(ReadFile("PARAMS.INI"), kParams);  // listing writes nothing
  EXPECT_EQ(Run({"verify"}).second, 0);
  // Any other word runs the search: here one step without iterations.
  Outcome r = Run({"extracts"});
  EXPECT_EQ(r.second, 0);
  EXPECT_TRUE(Contains(r.first, "Max=10\n"));
  EXPECT_TRUE(Contains(ReadFile("PARAMS.INI"), "\nSTART=11\n"));
}

TEST_F(Program, ASecondRunInTheSameFolderIsRefused) {
  WriteFile("PARAMS.INI", kParams);
  auto listing = [this] {
    std::string names;
    for (const auto& e : std::filesystem::directory_iterator(folder_)) names += e.path().string();
    return names;
  };
  std::string before = listing();
  int held = open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(Run({}), Outcome(kBanner + "Another quorvex run is using this folder\n", 1));
  EXPECT_EQ(listing(), before);
  EXPECT_EQ(ReadFile("PARAMS.INI"), kParams);
  EXPECT_EQ(Run({"extract"}).second, 0);  // reading needs no lock
  close(held);
  EXPECT_EQ(Run({}).second, 0);
}

TEST_F(Program, ASignalStopsTheRunAndSavesProgress) {
  WriteFile(
      "PARAMS.INI",
      "power=3\nstart=30\nend=31\nblocksize=10\nworkterms=12\niterations=2000000000\nsave=0\n");
  const std::string outPath = folder_ + "/console.out";
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(out, 1);
    dup2(out, 2);
    alarm(30);
    execl(QUORVEX_BINARY, QUORVEX_BINARY, "--seed", "1", static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  // Wait until the loop runs, then stop it twice in a row, as an impatient user would.
  for (int i = 0; i < 500 && !Contains(ReadFile(outPath), "Max=30"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  kill(pid, SIGTERM);
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << ReadFile(outPath).substr(0, 2000);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::string params = ReadFile("PARAMS.INI");
  EXPECT_EQ(params.rfind("POWER=3\nSTART=30\nEND=31\nBLOCKSIZE=10\nWORKTERMS=12\n", 0), 0u)
      << params;
  EXPECT_FALSE(Contains(params, "CURRENTITERATION=0\n")) << params;
  EXPECT_TRUE(FileExists("DATA3.BIN"));
}

TEST_F(Program, HostLoadsTheSharedLibrary) {
  void* library = dlopen(QUORVEX_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto init = reinterpret_cast<int32_t (*)(int32_t)>(dlsym(library, "Init"));
  auto iterate = reinterpret_cast<int32_t (*)(int32_t, int32_t, int32_t, int32_t)>(
      dlsym(library, "ComputeOneIteration"));
  ASSERT_TRUE(init != nullptr && iterate != nullptr);
  // Nothing of the engine but the two entry points is visible.
  EXPECT_EQ(dlsym(library, "_ZN7quorvex14LoadParametersEv"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN7quorvex4gRunE"), nullptr);
  int32_t result = -1;
  CaptureOutput([&] { result = init(4); });
  EXPECT_EQ(result, 0);
  const int32_t refused[][3] = {
      {10001, 20, 0}, {-1, 20, 0}, {100, 1, 0}, {100, 20, 201}, {100, 20, -1}};
  for (const auto& a : refused) {
    std::string out = CaptureOutput([&] { result = iterate(4, a[0], a[1], a[2]); });
    EXPECT_EQ(result, 0) << a[0] << " " << a[1] << " " << a[2];
    EXPECT_FALSE(out.empty());
  }
  CaptureOutput([&] { result = iterate(4, 60, 20, 0); });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(FileExists("DATA4.TXT"));  // a first iteration always improves the empty table
  dlclose(library);
}

TEST(Readme, ShowsTheCurrentHelpText) {
  EXPECT_TRUE(Contains(ReadFile(QUORVEX_SOURCE_DIR "/README.md"), kUsageText));
}

}  // namespace
}  // namespace quorvex
