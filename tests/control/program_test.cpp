#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <thread>

#include "control/usage.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

const std::string kParams = "POWER=4\nSTART=10\nEND=11\nBLOCKSIZE=20\nWORKTERMS=0\nITERATIONS=0\n";
const std::string kBanner = "Quorvex beta 10\n";

using Program = FolderTest;

Outcome Quorvex(const std::vector<std::string>& args) {
  return RunProgram(".", args, 20);
}

TEST_F(Program, CommandLineAndExitStatuses) {
  const std::string usage = UsageText();
  EXPECT_EQ(Quorvex({}), Outcome(kBanner + "No PARAMS.INI file\nCannot load parameters\n", 1));
  EXPECT_EQ(Quorvex({"--help"}), Outcome(usage, 0));
  EXPECT_EQ(Quorvex({"extract", "-h"}), Outcome(usage, 0));
  for (const char* line : {"--verbose", "extract -x", "--seed", "--seed -1", "--seed 4294967296",
                           "--seed 12a", "status --power 4", "--svg a.svg", "best --svg",
                           "best --power -4", "best --power 2147483648"}) {
    std::istringstream words(line);
    const Outcome r = Quorvex({std::istream_iterator<std::string>(words), {}});
    EXPECT_EQ(r.second, 2) << line;
    EXPECT_TRUE(Contains(r.first, usage) && !Contains(r.first, kBanner)) << r.first;
  }
  EXPECT_FALSE(FileExists("Bug.txt"));

  WriteFile("PARAMS.INI", kParams + "NOISE=1\n");
  Outcome r = Quorvex({});
  EXPECT_EQ(r.second, 1);
  EXPECT_TRUE(Contains(r.first, "Error: Bad parameter\n\n"));
  EXPECT_EQ(ReadFile("Bug.txt"), "Error: Bad parameter\n\n");
}

TEST_F(Program, CommandWords) {
  WriteFile("PARAMS.INI", kParams);
  for (const char* word : {"extract", "EXTRACT", "Extract"}) {
    Outcome r = Quorvex({"--seed", "7", word, "ignored"});
    EXPECT_EQ(r.second, 0) << word;
    EXPECT_TRUE(Contains(r.first, kBanner) && !Contains(r.first, "Max=")) << r.first;
  }
  EXPECT_EQ(ReadFile("PARAMS.INI"), kParams);  // listing writes nothing
  // Any other word runs the search: here one step without iterations.
  Outcome r = Quorvex({"extracts"});
  EXPECT_EQ(r.second, 0);
  EXPECT_TRUE(Contains(r.first, "Max=10\n"));
  EXPECT_TRUE(Contains(ReadFile("PARAMS.INI"), "\nSTART=11\n"));
}

TEST_F(Program, ASecondRunInTheSameFolderIsRefused) {
  WriteFile("PARAMS.INI", kParams);
  int held = open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(Quorvex({}), Outcome(kBanner + "Another quorvex run is using this folder\n", 1));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);  // PARAMS.INI alone
  EXPECT_EQ(ReadFile("PARAMS.INI"), kParams);
  EXPECT_EQ(Quorvex({"extract"}).second, 0);  // reading needs no lock
  close(held);
  EXPECT_EQ(Quorvex({}).second, 0);
}

TEST_F(Program, ASignalStopsTheRunAtOnceAndSavesProgress) {
  // Short iterations; and iterations whose reduction runs for many seconds
  // without looking at anything, which must not hold the stop up.
  for (const bool iterated : {true, false}) {
    for (const char* threads : {"1", "2"}) {
      SCOPED_TRACE(std::string(iterated ? "short iterations" : "long reductions") + ", workers " +
                   threads);
      std::filesystem::remove_all(folder_);
      std::filesystem::create_directory(folder_);
      std::filesystem::current_path(folder_);
      WriteFile(
          "PARAMS.INI",
          std::string(iterated ? "power=3\nstart=30\nend=31\nblocksize=10\nworkterms=12\n"
                               : "power=8\nstart=5000\nend=5001\nblocksize=40\nworkterms=200\n") +
              "iterations=2000000000\nsave=0\n");
      const pid_t pid = fork();
      if (pid == 0) {
        if (!std::freopen("console.out", "w", stdout) || !std::freopen("/dev/null", "r", stdin)) {
          _exit(126);
        }
        dup2(STDOUT_FILENO, STDERR_FILENO);
        alarm(60);
        execl(QUORVEX_BINARY, QUORVEX_BINARY, "--seed", "1", "--threads", threads, nullptr);
        _exit(127);
      }
      ASSERT_GT(pid, 0);
      // Wait until the loop runs (and, for short iterations, some have
      // finished), then stop it twice in a row, as an impatient user would.
      for (int i = 0;
           i < 1000 && !Contains(ReadFile("console.out"), iterated ? "Average=" : "Max="); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      const auto sent = std::chrono::steady_clock::now();
      kill(pid, SIGTERM);
      kill(pid, SIGINT);
      int status = 0;
      waitpid(pid, &status, 0);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - sent;
      ASSERT_TRUE(WIFEXITED(status)) << ReadFile("console.out").substr(0, 2000);
      EXPECT_EQ(WEXITSTATUS(status), 1);
      // A second is the promise; the bound leaves room for a loaded machine.
      EXPECT_LT(took.count(), 3.0);
      const std::string saved = ReadFile("PARAMS.INI");
      EXPECT_TRUE(Contains(saved, "\nCURRENTITERATION=")) << saved;
      EXPECT_EQ(Contains(saved, "\nCURRENTITERATION=0\n"), !iterated) << saved;
      EXPECT_TRUE(FileExists(iterated ? "DATA3.BIN" : "DATA8.BIN"));
    }
  }
}

TEST_F(Program, ARecordTooLargeToWorkOnIsRefusedAtTheStart) {
  // Multiplicities in the hundreds of millions once made the cross-reduction
  // step through this record for hours, deaf to every stop.
  const std::string line = "(4,1,1269185874) 630662624=638523249+4*638523249+1*630662624";
  WriteFile("PARAMS.INI",
            "POWER=4\nSTART=20\nEND=22\nBLOCKSIZE=8\nWORKTERMS=0\nITERATIONS=2\nSAVE=1\nNEMB=2\n"
            "WEIGHT=1\n");
  WriteFile("DATA4.TXT", line + "\n");
  const std::string message =
      "Error: Bad solution line in DATA4.TXT (more than 65536 powers): " + line + "\n\n";
  EXPECT_EQ(Quorvex({"--seed", "1"}), Outcome(kBanner + "No DATABASE.TXT file\n" + message, 1));
  EXPECT_EQ(ReadFile("DATA4.TXT"), line + "\n");
  EXPECT_FALSE(FileExists("DATA4.BIN"));
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
    EXPECT_NE(CaptureOutput([&] { result = iterate(4, a[0], a[1], a[2]); }), "");
    EXPECT_EQ(result, 0) << a[0] << " " << a[1] << " " << a[2];
  }
  CaptureOutput([&] { result = iterate(4, 60, 20, 0); });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(FileExists("DATA4.TXT"));  // a first iteration always improves the empty table
  // Without a seed of its own, every host process would draw the same bases.
  auto seed = reinterpret_cast<void (*)(uint32_t)>(dlsym(library, "SeedRandom"));
  ASSERT_NE(seed, nullptr);
  auto bases = [&](uint32_t value) {
    seed(value);
    std::string out = CaptureOutput([&] { iterate(4, 60, 20, 0); });
    return out.substr(0, out.find('\n'));
  };
  EXPECT_EQ(bases(5), bases(5));
  EXPECT_NE(bases(5), bases(6));
  dlclose(library);
}

// The README shows the help text as the program prints it.
TEST(Readme, ShowsTheCurrentHelpText) {
  EXPECT_TRUE(Contains(ReadFile(QUORVEX_SOURCE_DIR "/README.md"), UsageText()));
}

}  // namespace
}  // namespace quorvex
