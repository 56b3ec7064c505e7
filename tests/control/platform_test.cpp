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

// Runs `body` in a child process, so scheduling and terminal changes stay out
// of the test process; returns the child's exit status.
template <typename Fn>
int InChild(Fn body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// The nice value, plus 100 in the idle class, of a child started at nice
// `start` after ApplyPriority(priority).
int Applied(int start, int32_t priority) {
  return InChild([=] {
    setpriority(PRIO_PROCESS, 0, start);
    ApplyPriority(priority);
    return getpriority(PRIO_PROCESS, 0) + (sched_getscheduler(0) == SCHED_IDLE ? 100 : 0);
  });
}

TEST(Priority, AppliedToTheProcessAndNeverRaised) {
  EXPECT_EQ(Applied(10, 1), 19);
  EXPECT_EQ(Applied(10, 4), 110);
  EXPECT_EQ(Applied(10, 9), 10);  // level 8 is nice 4: higher than the start
  EXPECT_EQ(Applied(10, 11), 10);
}

// A pseudo-terminal; `name` is the path of its terminal side.
struct Pty {
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) name = ptsname(master);
  }
  ~Pty() { close(master); }
  int master;
  std::string name;
};

// Puts a pseudo-terminal on standard input for the test's duration.
class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gRun.StopRequested = 0;
    slave_ = open(pty_.name.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave_, 0);
    savedStdin_ = dup(0);
    ASSERT_EQ(dup2(slave_, 0), 0);
  }
  void TearDown() override {
    KeyboardEnd();
    dup2(savedStdin_, 0);
    close(savedStdin_);
    close(slave_);
    gRun.StopRequested = 0;
  }
  void Type(const char* keys) {
    ASSERT_EQ(write(pty_.master, keys, strlen(keys)), static_cast<ssize_t>(strlen(keys)));
    usleep(20000);  // let the terminal deliver them
  }
  tcflag_t LocalFlags() {
    termios t{};
    tcgetattr(slave_, &t);
    return t.c_lflag & (ICANON | ECHO);
  }
  Pty pty_;
  int slave_ = -1;
  int savedStdin_ = -1;
};

bool InputWaiting() {
  pollfd p{0, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

TEST_F(KeyboardTest, OnlyALoneEscapeStops) {
  ASSERT_EQ(LocalFlags(), static_cast<tcflag_t>(ICANON | ECHO));
  KeyboardBegin();
  EXPECT_EQ(LocalFlags(), 0u);
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
  EXPECT_EQ(LocalFlags(), static_cast<tcflag_t>(ICANON | ECHO));
}

TEST(Keyboard, AnInputThatIsNoTerminalIsNeverRead) {
  int code = InChild([] {
    int fds[2];
    if (pipe(fds) != 0 || write(fds[1], "\x1b", 1) != 1 || dup2(fds[0], 0) != 0) return 10;
    KeyboardBegin();
    PollEscapeKey();
    KeyboardEnd();
    return gRun.StopRequested * 2 + (InputWaiting() ? 0 : 1);
  });
  EXPECT_EQ(code, 0);  // 1: the escape was read; 2: it stopped the run
}

TEST(Keyboard, ABackgroundJobLeavesItsTerminalAlone) {
  Pty pty;
  ASSERT_FALSE(pty.name.empty());
  int code = InChild([&] {
    setsid();
    int slave = open(pty.name.c_str(), O_RDWR);  // becomes the controlling terminal
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
  EXPECT_EQ(code, 0);  // 11: the job was stopped for touching the terminal
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
