#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "base/keyboard.hpp"
#include "base/run_state.hpp"
#include "run/parameters.hpp"
#include "run/run_loop.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// The run loop's trace, as seen from outside: "I<maxBase>" for an iteration,
// "P" for a PARAMS.INI rewrite, "B" for a checkpoint write, "S" for a
// statistics line of a cross-reduction pass.
struct Recorder {
  int watch = -1;
  std::string trace;
  std::string snapshots;  // CURRENTITERATION CURRENTSAVE CURRENTNEMB at each iteration
  int calls = 0;
  int stopAfter = 0;  // set StopRequested during this call (0: never)
};
Recorder gRecorder;

void Append(const std::string& item) {
  gRecorder.trace += (gRecorder.trace.empty() ? "" : " ") + item;
}

void DrainFileEvents() {
  alignas(inotify_event) char buffer[64 * 1024];
  for (ssize_t n; (n = read(gRecorder.watch, buffer, sizeof buffer)) > 0;) {
    for (char* at = buffer; at < buffer + n;) {
      const auto* event = reinterpret_cast<inotify_event*>(at);
      const std::string name = event->len > 0 ? event->name : "";
      if (name == "PARAMS.INI" || name == "DATA4.BIN" || name == "STATS.TXT") {
        Append(name == "PARAMS.INI" ? "P" : name == "DATA4.BIN" ? "B" : "S");
      }
      at += sizeof(inotify_event) + event->len;
    }
  }
}

// The values of the space-separated `keys` in PARAMS.INI ("?" when absent).
std::string Saved(const std::string& keys) {
  std::string text = "\n";  // "\n" + ReadFile(...) trips GCC 12's -Wrestrict at -O3
  text += ReadFile("PARAMS.INI");
  std::string values, key;
  for (std::istringstream names(keys); names >> key;) {
    const size_t at = text.find("\n" + key + "="), from = at + key.size() + 2;
    values += values.empty() ? "" : " ";
    values += at == std::string::npos ? "?" : text.substr(from, text.find('\n', from) - from);
  }
  return values;
}

int32_t CountingIteration(int32_t power, int32_t maxBase, int32_t blockSize, int32_t workTerms) {
  EXPECT_EQ(std::tuple(power, blockSize, workTerms),
            std::tuple(gParams.POWER, gParams.BLOCKSIZE, gParams.WORKTERMS));
  DrainFileEvents();
  Append('I' + std::to_string(maxBase));
  gRecorder.snapshots += Saved("CURRENTITERATION CURRENTSAVE CURRENTNEMB") + ", ";
  if (++gRecorder.calls == gRecorder.stopAfter) gRun.StopRequested = 1;
  return 1;
}

class RunLoopTest : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    gRecorder = Recorder{};
    gRecorder.watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(gRecorder.watch, 0);
    ASSERT_GE(inotify_add_watch(gRecorder.watch, ".", IN_CLOSE_WRITE | IN_MOVED_TO), 0);
  }
  void TearDown() override {
    close(gRecorder.watch);
    FolderTest::TearDown();
  }

  Outcome Run(const std::string& params) {
    WriteFile("PARAMS.INI", "POWER=4\nBLOCKSIZE=20\nWORKTERMS=0\n" + params);
    EXPECT_EQ(LoadParameters(), 0);
    DrainFileEvents();
    gRecorder.trace.clear();  // the test's own write of PARAMS.INI
    int status = -1;
    // A loop that never ends is stopped after a few seconds, so it fails its
    // case instead of hanging the test program.
    std::signal(SIGALRM, [](int) { gRun.StopRequested = 1; });
    alarm(5);
    const std::string output = CaptureOutput([&] {
      WorkerPool pool(1, 0, CountingIteration);
      status = RunLoop(pool);
    });
    alarm(0);
    DrainFileEvents();
    return {output, status};
  }

  // A fresh run of the loop from START to END, stopped during iteration `stopAfter`
  // (-1: before it starts): "console lines | trace | START as saved | exit status".
  std::string Schedule(int start, int end, int iterations, const std::string& more = "",
                       int stopAfter = 0) {
    TearDown();
    SetUp();
    gRecorder.stopAfter = stopAfter;
    if (stopAfter < 0) gRun.StopRequested = 1;
    auto [output, status] = Run("START=" + std::to_string(start) + "\nEND=" + std::to_string(end) +
                                "\nITERATIONS=" + std::to_string(iterations) + "\n" + more);
    std::replace(output.begin(), output.end(), '\n', ';');
    return output + " | " + gRecorder.trace + " | START=" + Saved("START") + " | " +
           std::to_string(status);
  }
};

TEST_F(RunLoopTest, Schedules) {
  EXPECT_EQ(Schedule(10, 10, 2), " | B | START=10 | 0");
  EXPECT_EQ(Schedule(10, 12, 2), "Max=10;Max=11; | I10 I10 P I11 I11 P B | START=12 | 0");
  EXPECT_EQ(Schedule(12, 10, 1), "Max=12;Max=11; | I12 P I11 P B | START=10 | 0");
  EXPECT_EQ(Schedule(10, 11, 2, "SAVE=1\n"), "Max=10; | I10 P B I10 P B P B | START=11 | 0");
  EXPECT_EQ(Schedule(10, 11, 3, "SAVE=0\nCURRENTSAVE=5\n"),
            "Max=10; | I10 I10 I10 P B | START=11 | 0");
  // The save period runs on across steps.
  EXPECT_EQ(Schedule(10, 13, 2, "SAVE=3\n"),
            "Max=10;Max=11;Max=12; | I10 I10 P I11 P B I11 P I12 I12 P B P B | START=13 | 0");
  // A resumed step already done.
  EXPECT_EQ(Schedule(10, 11, 2, "CURRENTITERATION=5\n"), "Max=10; | P B | START=11 | 0");
  EXPECT_EQ(Schedule(10, 13, 0), "Max=10;Max=11;Max=12; | P P P B | START=13 | 0");
  EXPECT_EQ(Schedule(10, 13, 0, "", -1), "Max=10; | P B | START=10 | 1");
  EXPECT_EQ(Schedule(10, 12, 5, "", 2), "Max=10; | I10 I10 P B | START=10 | 1");
  EXPECT_EQ(Schedule(8, 10, 1, "RESTART=5\n", 7),
            "Max=8;Max=9;Max=5;Max=6;Max=7;Max=8;Max=9;Max=5; | "
            "I8 P I9 P I5 P I6 P I7 P I8 P I9 P P B | START=5 | 1");
  // Restarts that would walk nothing.
  const std::string nothing = " would search nothing: run ends; | ";
  EXPECT_EQ(Schedule(10, 11, 1, "RESTART=11\n"),
            "Max=10;Restart at 11" + nothing + "I10 P P B | START=11 | 0");
  EXPECT_EQ(Schedule(5, 7, 0, "RESTART=3\n"),
            "Max=5;Max=6;Restart at 3" + nothing + "P P P B | START=7 | 0");
  EXPECT_EQ(Schedule(4, 4, 3, "RESTART=4\n"), "Restart at 4" + nothing + "P B | START=4 | 0");
}

TEST_F(RunLoopTest, AStopKeepsTheCountersOfTheLastIteration) {
  gRecorder.stopAfter = 3;
  EXPECT_EQ(Run("START=10\nEND=12\nITERATIONS=5\nSAVE=2\nNEMB=10\nCURRENTNEMB=4\n").second, 1);
  EXPECT_EQ(Saved("START CURRENTITERATION CURRENTSAVE CURRENTNEMB"), "10 3 1 7");
}

TEST_F(RunLoopTest, CountersWrappedPast32BitsStillIterate) {
  // Values above 2^31 - 1 wrap to negative counters, which may leave 2^31
  // and more iterations to go; each run is stopped in its third iteration.
  // Each: the counters given, the status, the counters saved at the end.
  const std::tuple<std::string, int, std::string> cases[] = {
      {"ITERATIONS=2\nCURRENTITERATION=2147483648\nSAVE=0\n", 1, "-2147483645 0 0"},
      // -1, 0 and 1 finish the step, and with it the range.
      {"ITERATIONS=2\nCURRENTITERATION=4294967295\n", 0, "0 3 0"},
      {"ITERATIONS=9\nCURRENTSAVE=2147483648\nSAVE=2\n", 1, "3 -2147483645 0"},
      {"ITERATIONS=9\nCURRENTNEMB=2147483648\nNEMB=2\n", 1, "3 3 -2147483645"},
  };
  for (const auto& [params, status, saved] : cases) {
    SCOPED_TRACE(params);
    TearDown();
    SetUp();
    gRecorder.stopAfter = 3;
    EXPECT_EQ(Run("START=10\nEND=11\n" + params).second, status);
    EXPECT_EQ(gRecorder.calls, 3);
    EXPECT_EQ(Saved("CURRENTITERATION CURRENTSAVE CURRENTNEMB"), saved);
  }
}

TEST_F(RunLoopTest, SaveAndCrossReductionOnTheSameIteration) {
  // One stored solution, so that a cross-reduction run writes a statistics line.
  StoreQuietly({{353, 1}, {315, -1}, {272, -1}, {120, -1}, {30, -1}});
  EXPECT_EQ(Run("START=10\nEND=11\nITERATIONS=4\nSAVE=1\nNEMB=3\nWEIGHT=1\n").second, 0);
  // The SAVE point of the third iteration comes first, then the NEMB point
  // with its own rewrite and checkpoint, then the cross-reduction.
  EXPECT_EQ(gRecorder.trace, "I10 P B I10 P B I10 P B P B S I10 P B P B");
  // A SAVE point holds CURRENTNEMB before it advances; the NEMB point holds 0.
  EXPECT_EQ(gRecorder.snapshots, "? ? ?, 1 0 0, 2 0 1, 3 0 0, ");
  EXPECT_EQ(Saved("CURRENTNEMB CURRENTSAVE"), "1 0");
}

}  // namespace
}  // namespace quorvex
