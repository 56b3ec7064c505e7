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

using testing_support::Ended;

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

// The nice value, and the idle class, of a process at nice `start` after
// ApplyPriority(priority); in a child, so the test process keeps its own.
std::string Applied(int start, int32_t priority) {
  return Ended([=] {
           setpriority(PRIO_PROCESS, 0, start);
           ApplyPriority(priority);
           std::printf("%d%s", getpriority(PRIO_PROCESS, 0),
                       sched_getscheduler(0) == SCHED_IDLE ? " idle" : "");
         })
      .first;
}

TEST(Priority, AppliedToTheProcessAndNeverRaised) {
  EXPECT_EQ(Applied(10, 1), "19");
  EXPECT_EQ(Applied(10, 4), "10 idle");
  EXPECT_EQ(Applied(10, 9), "10");  // level 8 is nice 4: higher than the start
  EXPECT_EQ(Applied(10, 11), "10");
}

// The terminal's mode on standard input: "cooked" (canonical, echo) or "raw".
const char* Mode() {
  termios t{};
  tcgetattr(0, &t);
  const tcflag_t flags = t.c_lflag & (ICANON | ECHO);
  return flags == (ICANON | ECHO) ? "cooked" : flags == 0 ? "raw" : "mixed";
}

bool InputWaiting() {
  pollfd p{0, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

// A pseudo-terminal: its master side, and the path of its terminal side.
std::pair<int, std::string> OpenPty() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {-1, ""};
  return {master, ptsname(master)};
}

// In a child whose standard input is a pseudo-terminal: the modes before,
// during and after, and what each key typed left: "<StopRequested><+ if
// unread input remains>".
TEST(Keyboard, OnlyALoneEscapeStopsAndTheTerminalIsRestored) {
  const auto [master, name] = OpenPty();
  ASSERT_GE(master, 0);
  auto typing = [master, name] {
    dup2(open(name.c_str(), O_RDWR | O_NOCTTY), 0);
    std::printf("%s ", Mode());
    KeyboardBegin();
    std::printf("%s ", Mode());
    PollEscapeKey();  // nothing waiting: returns at once
    for (const char* key : {"x", "\x1b[A", "\x1bOP", "\x1b[15~", "\n", "\x1b"}) {
      if (write(master, key, strlen(key)) < 0) return;
      usleep(20000);  // let the terminal deliver them
      PollEscapeKey();
      std::printf("%d%s ", gRun.StopRequested.load(), InputWaiting() ? "+" : "");
    }
    KeyboardEnd();
    std::printf("%s", Mode());
  };
  EXPECT_EQ(Ended(typing).first, "cooked raw 0 0 0 0 0 1 cooked");
  close(master);
}

TEST(Keyboard, AnInputThatIsNoTerminalIsNeverRead) {
  auto piped = [] {
    int fds[2];
    if (pipe(fds) != 0 || write(fds[1], "\x1b", 1) != 1) return;
    dup2(fds[0], 0);
    KeyboardBegin();
    PollEscapeKey();
    KeyboardEnd();
    std::printf("%d %s", gRun.StopRequested.load(), InputWaiting() ? "unread" : "read");
  };
  EXPECT_EQ(Ended(piped).first, "0 unread");
}

TEST(Keyboard, ABackgroundJobLeavesItsTerminalAlone) {
  const auto [master, name] = OpenPty();
  ASSERT_GE(master, 0);
  auto session = [name] {
    setsid();
    dup2(open(name.c_str(), O_RDWR), 0);  // now the session's controlling terminal
    const pid_t job = fork();
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
    std::printf("%s", WIFSTOPPED(status) ? "stopped for touching the terminal" : "ran");
  };
  EXPECT_EQ(Ended(session).first, "ran");
  close(master);
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
