#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "control/keyboard.hpp"
#include "control/priority.hpp"
#include "control/run_state.hpp"
#include "control/signals.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

TEST(Priority, LevelsClassesAndNiceValues) {
  // PRIORITY -1..12 -> level and idle class.
  const int32_t levels[] = {10, 10, 1, 2, 3, 4, 5, 6, 6, 7, 8, 9, 10, 10};
  for (int32_t priority = -1; priority <= 12; ++priority) {
    EXPECT_EQ(PriorityLevel(priority), levels[priority + 1]) << priority;
    EXPECT_EQ(PriorityIsIdleClass(priority), priority >= 2 && priority <= 6) << priority;
  }
  const int32_t nice[] = {19, 17, 15, 13, 11, 8, 6, 4, 2, 0};
  for (int32_t level = 1; level <= 10; ++level) EXPECT_EQ(NiceForLevel(level), nice[level - 1]);
}

// Runs `body` in a child process, so scheduling changes stay out of the test
// process; returns the child's exit status.
template <typename Fn>
int InChild(Fn body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(Priority, AppliedToTheProcessAndNeverRaised) {
  EXPECT_EQ(InChild([] {
              ApplyPriority(1);
              return getpriority(PRIO_PROCESS, 0) == 19 ? 0 : 1;
            }),
            0);
  EXPECT_EQ(InChild([] {
              ApplyPriority(4);
              return sched_getscheduler(0) == SCHED_IDLE ? 0 : 1;
            }),
            0);
  EXPECT_EQ(InChild([] {
              setpriority(PRIO_PROCESS, 0, 10);
              ApplyPriority(9);  // level 8 would be nice 4: higher than the start
              int kept = getpriority(PRIO_PROCESS, 0);
              ApplyPriority(11);  // level 10: nice 0
              return kept == 10 && getpriority(PRIO_PROCESS, 0) == 10 &&
                             sched_getscheduler(0) == SCHED_OTHER
                         ? 0
                         : 1;
            }),
            0);
}

// Puts a pseudo-terminal on standard input for the test's duration.
class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gRun.StopRequested = 0;
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave_, 0);
    savedStdin_ = dup(0);
    ASSERT_EQ(dup2(slave_, 0), 0);
  }
  void TearDown() override {
    KeyboardEnd();
    dup2(savedStdin_, 0);
    close(savedStdin_);
    close(slave_);
    close(master_);
    gRun.StopRequested = 0;
  }
  void Type(const char* keys) {
    ASSERT_EQ(write(master_, keys, strlen(keys)), static_cast<ssize_t>(strlen(keys)));
    usleep(20000);  // let the terminal deliver them
  }
  bool InputWaiting() {
    pollfd p{0, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
  }
  tcflag_t LocalFlags() {
    termios t{};
    tcgetattr(slave_, &t);
    return t.c_lflag;
  }
  int master_ = -1;
  int slave_ = -1;
  int savedStdin_ = -1;
};

TEST_F(KeyboardTest, OnlyALoneEscapeStops) {
  ASSERT_NE(LocalFlags() & ICANON, 0u);
  KeyboardBegin();
  EXPECT_EQ(LocalFlags() & (ICANON | ECHO), 0u);

  PollEscapeKey();  // nothing waiting: returns at once
  for (const char* key : {"x", "\x1b[A", "\x1bOP", "\x1b[15~", "\n"}) {
    Type(key);
    PollEscapeKey();
    EXPECT_EQ(gRun.StopRequested, 0) << key;
    EXPECT_FALSE(InputWaiting()) << key;  // the whole key was consumed
  }
  Type("\x1b");
  PollEscapeKey();
  EXPECT_EQ(gRun.StopRequested, 1);

  KeyboardEnd();
  EXPECT_EQ(LocalFlags() & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
}

TEST(Keyboard, AnInputThatIsNoTerminalIsNeverRead) {
  gRun.StopRequested = 0;
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  ASSERT_EQ(write(pipeFds[1], "\x1b", 1), 1);
  int saved = dup(0);
  dup2(pipeFds[0], 0);
  KeyboardBegin();
  PollEscapeKey();
  KeyboardEnd();
  pollfd p{0, POLLIN, 0};
  bool stillThere = poll(&p, 1, 0) == 1;
  dup2(saved, 0);
  close(saved);
  close(pipeFds[0]);
  close(pipeFds[1]);
  EXPECT_EQ(gRun.StopRequested, 0);
  EXPECT_TRUE(stillThere);
}

TEST(Keyboard, ABackgroundJobLeavesItsTerminalAlone) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slaveName = ptsname(master);
  int exitCode = InChild([&] {
    setsid();
    int slave = open(slaveName.c_str(), O_RDWR);  // becomes the controlling terminal
    if (slave < 0 || dup2(slave, 0) != 0) return 10;
    pid_t job = fork();
    if (job == 0) {
      setpgid(0, 0);  // a job that is not the terminal's foreground job
      KeyboardBegin();
      PollEscapeKey();
      KeyboardEnd();
      _exit(0);
    }
    int status = 0;
    waitpid(job, &status, WUNTRACED);
    if (WIFSTOPPED(status)) kill(job, SIGKILL);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 11;
  });
  close(master);
  EXPECT_EQ(exitCode, 0);  // 11: the job was stopped for touching the terminal
}

TEST(Signals, EachStopSignalSetsTheFlagAndStaysHandled) {
  InstallStopSignals();
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    gRun.StopRequested = 0;
    raise(signal);
    EXPECT_EQ(gRun.StopRequested, 1) << signal;
    raise(signal);  // a second one while stopping must not end the process
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    EXPECT_NE(current.sa_flags & SA_RESTART, 0) << signal;
    std::signal(signal, SIG_DFL);
  }
  gRun.StopRequested = 0;
}

}  // namespace
}  // namespace quorvex
