#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "control/line_reader.hpp"
#include "control/run_state.hpp"
#include "store/result_log.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// A file size limit cuts a write off part-way just as a full disk does, and
// needs no privileges. The limit sits a few bytes past the log's end.
class FileDamage : public FolderTest {
 protected:
  void LimitFilesTo(rlim_t bytes) {
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved_), 0);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    limited_ = true;
  }
  void Unlimit() {
    if (!limited_) return;
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
    limited_ = false;
  }
  void TearDown() override {
    Unlimit();
    FolderTest::TearDown();
  }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = SIG_DFL;
  bool limited_ = false;
};

TEST_F(FileDamage, ALineCutOffByAFullDiskLeavesTheLogAsItWas) {
  const SolutionRecord r{nullptr, nullptr, 0, 1, 1, 2, {{2, 1}, {1, -1}}};
  const std::string logged = "(4,1,1) 2=1 (0,0)\n";
  gRun.CurrentPower = 4;
  // Longer than what the test prints, whose capture file the limit also binds.
  std::string held;
  for (int i = 0; i < 40; ++i) held += "(4,2,2) 158+59=134+133 (0,0)\n";
  // A closed log, one whose whole last line only lacks its line end, and one
  // with a torn last line, which the append rewrites the log to repair.
  const std::string logs[] = {held, held + "(4,2,2) 158+59=134+133", held + "(4,2,2) 15"};
  for (const std::string& log : logs) {
    SCOPED_TRACE(log.substr(log.size() - 10));
    WriteFile("DATA4.TXT", log);
    LimitFilesTo(log.size() + 10);
    const Outcome outcome = Ended([&] { LogSolution(r); });
    Unlimit();
    EXPECT_EQ(outcome, Outcome(logged + "Cannot write DATA4.TXT\n", 1));
    EXPECT_EQ(ReadFile("DATA4.TXT"), log);
  }
}

TEST_F(FileDamage, ATornLastLineAtTheLineLimitStaysReadableOnceRepaired) {
  const SolutionRecord r{nullptr, nullptr, 0, 1, 1, 2, {{2, 1}, {1, -1}}};
  const std::string good = "(4,2,2) 158+59=134+133 (0,0)\n", logged = "(4,1,1) 2=1 (0,0)\n";
  gRun.CurrentPower = 4;
  // Just short of the reader's limit: the start skips it as torn. With a ";"
  // in front as one line it would reach the limit and stop every later start.
  const std::string tail = "(4,1,1) 5=" + std::string(kLineLimit - 11, '7');
  WriteFile("DATA4.TXT", good + tail);
  CaptureOutput([] { LoadResultLog(4); });
  CaptureOutput([&] { LogSolution(r); });
  EXPECT_EQ(ReadFile("DATA4.TXT"), good + ";" + tail.substr(0, kLineLimit - 2) + "\n;" +
                                       tail.substr(kLineLimit - 2) + "\n" + logged);
  ResetStore();
  EXPECT_EQ(CaptureOutput([] { LoadResultLog(4); }), "");
  EXPECT_EQ(gStore.count, 2);
}

}  // namespace
}  // namespace quorvex
