#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <thread>

#include "cli/options.hpp"
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
                           "best --power -4", "best --power 2147483648", "--reducer",
                           "--reducer BKZ", "--reducer G_BKZ_FP", "verify --reducer BKZ_FP"}) {
    std::istringstream words(line);
    const Outcome r = Quorvex({std::istream_iterator<std::string>(words), {}});
    EXPECT_EQ(r.second, 2) << line;
    EXPECT_TRUE(Contains(r.first, usage) && !Contains(r.first, kBanner)) << r.first;
  }
  EXPECT_EQ(
      Quorvex({"--reducer", "LLL"}),
      Outcome(
          "--reducer needs one of BKZ_XD, BKZ_FP, BKZ_FP_PRUNED, FPLLL_BKZ2, not \"LLL\"\n" + usage,
          2));
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
  // A merge writes the store as a search does.
  for (const char* command : {"search", "merge"}) {
    EXPECT_EQ(Quorvex({command, "a"}),
              Outcome(kBanner + "Another quorvex run is using this folder\n", 1));
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);  // PARAMS.INI alone
  EXPECT_EQ(ReadFile("PARAMS.INI"), kParams);
  EXPECT_EQ(Quorvex({"extract"}).second, 0);  // reading needs no lock
  close(held);
  EXPECT_EQ(Quorvex({}).second, 0);
}

// Stops among short iterations are program_fuzz's (and the counters they
// save RunLoopTest's); here the iteration's reduction runs for many seconds
// without looking at anything, which must not hold the stop up, and the
// iteration cut short is not counted.
TEST_F(Program, ASignalStopsALongReductionAtOnceAndSavesProgress) {
  for (const auto& [threads, reducer] :
       {std::pair("1", "BKZ_XD"), std::pair("2", "BKZ_XD"), std::pair("1", "BKZ_FP"),
        std::pair("2", "BKZ_FP"), std::pair("1", "BKZ_FP_PRUNED"), std::pair("1", "FPLLL_BKZ2")}) {
    SCOPED_TRACE(std::string("workers ") + threads + " " + reducer);
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directory(folder_);
    std::filesystem::current_path(folder_);
    WriteFile("PARAMS.INI",
              "power=8\nstart=5000\nend=5001\nblocksize=40\nworkterms=200\niterations=2000000000\n"
              "save=0\n");
    const pid_t pid = fork();
    if (pid == 0) {
      if (!std::freopen("console.out", "w", stdout) || !std::freopen("/dev/null", "r", stdin)) {
        _exit(126);
      }
      dup2(STDOUT_FILENO, STDERR_FILENO);
      alarm(60);
      execl(QUORVEX_BINARY, QUORVEX_BINARY, "--seed", "1", "--threads", threads, "--reducer",
            reducer, nullptr);
      _exit(127);
    }
    ASSERT_GT(pid, 0);
    // Once the loop runs, stop it twice in a row, as an impatient user would.
    for (int i = 0; i < 1000 && !Contains(ReadFile("console.out"), "Max="); ++i) {
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
    EXPECT_TRUE(Contains(ReadFile("PARAMS.INI"), "\nCURRENTITERATION=0\n"));
    EXPECT_TRUE(FileExists("DATA8.BIN"));
  }
}

// Runs that once refused or dropped what the rules accept: a true, if dull,
// solution of 160000 powers; a relation of 426955 powers, after which every
// line of the run differs; a power above 100.
TEST_F(Program, SolutionsOfManyPowersAndLargePowersAreSearched) {
  const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
      {"POWER=4\nSTART=20\nEND=21\nBLOCKSIZE=2\nWORKTERMS=2\nITERATIONS=1\n", "1", "DATA4.TXT",
       "(4,1,160000) 20=1*160000 (0,0)\n"},
      {"POWER=8\nSTART=20\nEND=21\nBLOCKSIZE=2\nWORKTERMS=5\nITERATIONS=1\n", "5", "DATA8.TXT",
       "(8,2,57) 4*2=3*19+2*25+1*13 (0,0)\n(8,27,32) 4+2*26=3*11+1*21 (0,0)\n"
       "(8,9,59) 4+1*8=3*8+2*51 (0,0)\n(8,51,51) 3*51=4*5+2*27+1*19 (0,0)\n"
       "(8,1,426955) 20=4*386743+3*38718+2*1492+1*2 (0,0)\n"},
      {"POWER=101\nSTART=20\nEND=21\nBLOCKSIZE=10\nWORKTERMS=0\nITERATIONS=1\n", "1", "console",
       "\nAverage=68451198 terms\n"},
  };
  for (const auto& [params, seed, file, expected] : cases) {
    SCOPED_TRACE(params);
    WriteFile("PARAMS.INI", params);
    std::remove(file.c_str());
    const Outcome run = Quorvex({"--seed", seed});
    EXPECT_EQ(run.second, 0) << run.first;
    EXPECT_TRUE(Contains(file == "console" ? run.first : ReadFile(file), expected)) << run.first;
  }
}

// Whether the process has a handler for `signal` (SigCgt of /proc/PID/status).
bool CatchesSignal(pid_t pid, int signal) {
  std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("SigCgt:")) {
      return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    }
  }
  return false;
}

// Records of very many powers load like any other, and the walk takes as
// little time with them as without: the search and its cross-reductions run
// to the end within seconds, and a stop at any moment takes effect at once.
// (Once their multiplicities in the hundreds of millions made the
// cross-reduction step through them one power at a time, for hours.)
TEST_F(Program, RecordsOfVeryManyPowersAreSearchedWithAndStopped) {
  const std::string params =
      "POWER=4\nSTART=20\nEND=22\nBLOCKSIZE=8\nWORKTERMS=0\nSAVE=1\nNEMB=2\nWEIGHT=1\n";
  const int32_t n = 134217727;  // 16 * n just below 2^31
  // Each: the file, its content, and whether the record stays in the store.
  const std::tuple<std::string, std::string, bool> folders[] = {
      {"DATA4.TXT", "(4,1,1269185874) 630662624=638523249+4*638523249+1*630662624\n", true},
      // True: it walks down to 2^4 = 16 * 1^4, which is stored already.
      {"DATA4.BIN", Int32Bytes({1, 2, 2, n, 1, -16 * n}), false}};
  for (const auto& [file, content, stays] : folders) {
    SCOPED_TRACE(file);
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      std::filesystem::remove_all(entry.path());
    }
    WriteFile("DATABASE.TXT", "(4,1,16) 2=1*16\n");
    WriteFile(file, content);
    WriteFile("PARAMS.INI", params + "ITERATIONS=2\n");
    const auto start = std::chrono::steady_clock::now();
    const Outcome run = Quorvex({"--seed", "1"});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.second, 0) << run.first.substr(0, 2000);
    EXPECT_LT(took.count(), 10.0);
    EXPECT_TRUE(Contains(ReadFile("STATS.TXT"), "Weight 1, pass 1: "));
    const std::string listed = Quorvex({"extract"}).first;
    EXPECT_EQ(Contains(listed, "630662624=638523249+") || Contains(listed, "=1*2147483632"), stays);

    // Endless, with a cross-reduction after every iteration: stopped at
    // moments spread over its first second and a half.
    for (const int delay : {30, 270, 640, 1500}) {
      WriteFile("PARAMS.INI", params + "ITERATIONS=2000000000\nNEMB=1\n");
      const pid_t pid = fork();
      if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "r", stdin)) {
          _exit(126);
        }
        alarm(60);
        execl(QUORVEX_BINARY, QUORVEX_BINARY, "--seed", "2", nullptr);
        _exit(127);
      }
      ASSERT_GT(pid, 0);
      // The moments count from when it takes stop signals: before, a signal
      // ends any program, and a loaded machine may take a while to get there.
      for (int i = 0; i < 5000 && !CatchesSignal(pid, SIGTERM); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      const auto sent = std::chrono::steady_clock::now();
      kill(pid, SIGTERM);
      int status = 0;
      waitpid(pid, &status, 0);
      const std::chrono::duration<double> stopping = std::chrono::steady_clock::now() - sent;
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 1) << "stopped after " << delay << " ms";
      // A second is the promise; the bound leaves room for a loaded machine.
      EXPECT_LT(stopping.count(), 2.0) << "stopped after " << delay << " ms";
    }
  }
}

TEST_F(Program, HostLoadsTheSharedLibrary) {
  void* library = dlopen(QUORVEX_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto init = reinterpret_cast<int32_t (*)(int32_t)>(dlsym(library, "Init"));
  auto iterate = reinterpret_cast<int32_t (*)(int32_t, int32_t, int32_t, int32_t)>(
      dlsym(library, "ComputeOneIteration"));
  ASSERT_TRUE(init != nullptr && iterate != nullptr);
  // Nothing of the engine but the entry points is visible.
  EXPECT_EQ(dlsym(library, "_ZN7quorvex14LoadParametersEv"), nullptr);
  EXPECT_EQ(dlsym(library, "_ZN7quorvex4gRunE"), nullptr);
  int32_t result = -1;
  CaptureOutput([&] { result = init(4); });
  EXPECT_EQ(result, 0);
  // The iterations below reduce with BKZ_FP.
  auto reducer = reinterpret_cast<int32_t (*)(const char*)>(dlsym(library, "SetReducer"));
  ASSERT_NE(reducer, nullptr);
  EXPECT_EQ(std::pair(reducer("BKZ"), reducer("BKZ_FP")), std::pair(-1, 0));
  // Limits as for SearchIteration (SearchIterationTest.GuardsAndDegenerateIterations).
  EXPECT_NE(CaptureOutput([&] { result = iterate(4, 100, 20, -1); }), "");
  EXPECT_EQ(result, 0);
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

// The lines a quiet run keeps of a full run's output: the banner, the load
// lines, the Max= lines and the improvements (which the full run prints after
// the sizes of an iteration, on their line), in their order.
std::string KeptLines(const std::string& full) {
  std::istringstream lines(full);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (line == "Quorvex beta 10" || line.rfind("Max=", 0) == 0 ||
        (line.rfind("No ", 0) == 0 && line.size() > 8 && line.substr(line.size() - 5) == " file")) {
      kept += line + "\n";
      continue;
    }
    // An improvement ends its line with its suffix " (W,P)".
    const size_t header = line.rfind(")(4,");
    const size_t start = header == std::string::npos ? line.rfind("(4,", 0) : header + 1;
    if (start != std::string::npos && line.back() == ')' &&
        line.find('=', start) != std::string::npos && line.find(' ', start) != std::string::npos) {
      kept += line.substr(start) + "\n";
    }
  }
  return kept;
}

using Quiet = FolderTest;

TEST_F(Quiet, ASeededRunKeepsWhatItFoundAndWhereItIs) {
  const std::string params =
      "POWER=4\nSTART=30\nEND=33\nBLOCKSIZE=10\nWORKTERMS=0\nITERATIONS=3\nNEMB=4\nWEIGHT=1\n";
  std::string outputs[2], logs[2];
  for (int quiet = 0; quiet < 2; ++quiet) {
    const std::string folder = folder_ + (quiet == 1 ? "/quiet" : "/full");
    std::filesystem::create_directory(folder);
    WriteFile(folder + "/PARAMS.INI", params);
    std::vector<std::string> args = {"--seed", "4"};
    if (quiet == 1) args.push_back("--quiet");
    const Outcome r = RunProgram(folder, args);
    ASSERT_EQ(r.second, 0) << r.first;
    outputs[quiet] = r.first;
    logs[quiet] = ReadFile(folder + "/DATA4.TXT");
  }
  // The same search, told in fewer lines; a short run has no status line yet.
  EXPECT_EQ(logs[1], logs[0]);
  EXPECT_FALSE(logs[0].empty());
  EXPECT_EQ(outputs[1], KeptLines(outputs[0]));
  EXPECT_LT(outputs[1].size() * 4, outputs[0].size());
}

// FNV-1a of the run's output and of every file it left, by name.
uint64_t RunDigest(const std::string& folder, const std::string& output) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  std::string all = output;
  for (const std::string& name : files) all += "\n" + name + "\n" + ReadFile(folder + "/" + name);
  uint64_t hash = 14695981039346656037ULL;
  for (const unsigned char c : all) hash = (hash ^ c) * 1099511628211ULL;
  return hash;
}

// Taken from the program before a reducer could be chosen (NTL 11.5.1): a run
// without --reducer, or with the default named, prints and writes those bytes.
TEST_F(Program, TheDefaultReducerPrintsAndWritesWhatItAlwaysDid) {
  const std::string params =
      "POWER=4\nSTART=60\nEND=62\nBLOCKSIZE=20\nWORKTERMS=0\nITERATIONS=3\nSAVE=2\nNEMB=4\n"
      "WEIGHT=1\nNEMBPASS=1\n";
  const std::vector<std::string> extra[] = {{}, {"--reducer", "BKZ_XD"}};
  for (const std::vector<std::string>& more : extra) {
    const std::string folder = folder_ + "/run" + std::to_string(more.size());
    std::filesystem::create_directory(folder);
    WriteFile(folder + "/PARAMS.INI", params);
    std::vector<std::string> args = {"--seed", "3"};
    args.insert(args.end(), more.begin(), more.end());
    const Outcome r = RunProgram(folder, args);
    ASSERT_EQ(r.second, 0) << r.first;
    EXPECT_EQ(RunDigest(folder, r.first), 0x59f89948ed85b8a6ULL) << more.size();
  }
}

// Whatever a run logs and stores holds exactly, with either reducer and one
// worker or two, and a seeded run with one worker repeats itself byte for byte.
TEST_F(Program, EveryReducerFindsTrueSolutionsAndRepeatsASeededRun) {
  const std::string params =
      "POWER=4\nSTART=60\nEND=62\nBLOCKSIZE=20\nWORKTERMS=0\nITERATIONS=3\nSAVE=2\nNEMB=4\n"
      "WEIGHT=1\nNEMBPASS=1\n";
  // One worker with BKZ_XD is the digest test's.
  const std::vector<std::pair<std::string, std::string>> runs = {
      {"BKZ_XD", "2"},        {"BKZ_FP", "1"},        {"BKZ_FP", "1"},        {"BKZ_FP", "2"},
      {"BKZ_FP_PRUNED", "1"}, {"BKZ_FP_PRUNED", "1"}, {"BKZ_FP_PRUNED", "2"}, {"FPLLL_BKZ2", "1"},
      {"FPLLL_BKZ2", "1"},    {"FPLLL_BKZ2", "2"}};
  uint64_t digest = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    const auto& [reducer, threads] = runs[i];
    SCOPED_TRACE(reducer + " workers " + threads);
    const std::string folder = folder_ + "/run" + std::to_string(i);
    std::filesystem::create_directory(folder);
    WriteFile(folder + "/PARAMS.INI", params);
    const Outcome r =
        RunProgram(folder, {"--seed", "3", "--reducer", reducer, "--threads", threads});
    ASSERT_EQ(r.second, 0) << r.first;
    if (i > 0 && runs[i] == runs[i - 1]) {  // one worker, the same seed
      EXPECT_EQ(RunDigest(folder, r.first), digest);
    }
    digest = RunDigest(folder, r.first);
    const Outcome verified = RunProgram(folder, {"verify"});
    EXPECT_EQ(verified.second, 0);
    EXPECT_TRUE(Contains(verified.first, " solutions, 0 false\n")) << verified.first;
    const std::string status = RunProgram(folder, {"status"}).first;
    EXPECT_TRUE(Contains(status, reducer == "BKZ_XD"
                                     ? "\nReducer: BKZ_XD, the default (no REDUCER.TXT)\n"
                                     : "\nReducer: " + reducer +
                                           "; 0 lattices it failed on reduced again with BKZ_XD "
                                           "(REDUCER.TXT)\n"))
        << status;
  }
}

// Numbers beyond a double's range: BKZ_FP refuses every lattice, BKZ_XD reduces
// them, the count goes to REDUCER.TXT and status; a later run with the default
// takes the file away.
TEST_F(Program, LatticesTheFastRoutineCannotTakeAreReducedAgainAndCounted) {
  const std::string params =
      "POWER=100\nSTART=1000\nEND=1001\nBLOCKSIZE=2\nWORKTERMS=5\nITERATIONS=3\n";
  WriteFile("PARAMS.INI", params);
  Outcome r = Quorvex({"--seed", "1", "--reducer", "bkz_fp"});
  EXPECT_EQ(r.second, 0);
  EXPECT_TRUE(
      Contains(r.first, "Lattice reduction: BKZ_FP, and BKZ_XD for a lattice it fails on\n"));
  const std::string failed =
      "\nBKZ_FP failed (LLL_FP: numbers too big...use LLL_XD): reduced again with BKZ_XD\n";
  size_t count = 0;
  for (size_t at = r.first.find(failed); at != std::string::npos;
       at = r.first.find(failed, at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 3u) << r.first;
  EXPECT_EQ(ReadFile("REDUCER.TXT"), "REDUCER=BKZ_FP\nREDUCEDAGAIN=3\n");
  EXPECT_TRUE(Contains(Quorvex({"status"}).first,
                       "\nReducer: BKZ_FP; 3 lattices it failed on reduced again with BKZ_XD"));
  WriteFile("PARAMS.INI", params);
  EXPECT_EQ(Quorvex({}).second, 0);
  EXPECT_FALSE(FileExists("REDUCER.TXT"));
}

const std::string kMergeParams =
    "POWER=4\nSTART=20\nEND=22\nBLOCKSIZE=10\nWORKTERMS=0\nITERATIONS=3\nSAVE=1\n";

// The line that begins with `start`, up to its line end ("" when none).
std::string LineFrom(const std::string& output, const std::string& start) {
  const size_t at = output.find(start);
  return at == std::string::npos ? "" : output.substr(at, output.find('\n', at) - at);
}

TEST_F(Program, MergeTakesCheckedSolutionsOnceAndWritesNoOtherFolder) {
  for (const char* name : {"a", "b", "d", "here"}) {
    std::filesystem::create_directory(name);
    if (name[0] != 'd') WriteFile(name + std::string("/PARAMS.INI"), kMergeParams);
  }
  ASSERT_EQ(RunProgram(folder_ + "/a", {"--seed", "1"}).second, 0);
  ASSERT_EQ(RunProgram(folder_ + "/b", {"--seed", "2"}).second, 0);
  // A folder whose log holds a false identity besides a copy of b's store.
  std::filesystem::copy_file("b/DATA4.BIN", "d/DATA4.BIN");
  WriteFile("d/DATA4.TXT", "(4,2,2) 7+1=6+5 (0,0)\n");
  const std::string before = FolderSnapshot("a") + FolderSnapshot("b") + FolderSnapshot("d");

  Outcome r = RunProgram(folder_ + "/here", {"merge", "../a", "../b", "../d"});
  EXPECT_EQ(r.second, 1);  // the false identity
  EXPECT_TRUE(Contains(r.first, "False identity in ../d/DATA4.TXT: (4,2,2) 7+1=6+5\n"));
  const std::string fromA = LineFrom(r.first, "From ../a: ");
  EXPECT_TRUE(Contains(fromA, " solutions, ") && !Contains(fromA, " 0 new")) << r.first;
  // b's store again, so nothing of d is new but what was false.
  const std::string fromD = LineFrom(r.first, "From ../d: ");
  EXPECT_TRUE(Contains(fromD, " solutions, 0 new, 1 false, left out")) << r.first;
  EXPECT_EQ(FolderSnapshot("a") + FolderSnapshot("b") + FolderSnapshot("d"), before);
  EXPECT_EQ(RunProgram(folder_ + "/here", {"verify"}).second, 0);
  // A second merge finds nothing new: every solution of a and b is in this folder's store.
  r = RunProgram(folder_ + "/here", {"merge", "../a", "../b"});
  EXPECT_EQ(r.second, 0);
  EXPECT_TRUE(Contains(LineFrom(r.first, "Merged 2 folders: "), " solutions, 0 new, 0 false"))
      << r.first;
}

// The README shows the help text as the program prints it.
TEST(Readme, ShowsTheCurrentHelpText) {
  EXPECT_TRUE(Contains(ReadFile(QUORVEX_SOURCE_DIR "/README.md"), UsageText()));
}

}  // namespace
}  // namespace quorvex
