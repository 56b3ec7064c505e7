#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "base/keyboard.hpp"
#include "base/run_state.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

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

// Each in a child with a pseudo-terminal for standard input: the modes before,
// during and after, and what each key typed left ("<StopRequested><+ if unread
// input remains>"); the same from a pipe, which is never read; and from a job
// in the background of the terminal, which must not be stopped for touching it.
TEST(Keyboard, OnlyALoneEscapeFromAForegroundTerminalStops) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  const std::string name = ptsname(master);
  auto typing = [&] {
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
  auto background = [&] {
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
    std::printf("%s", WIFSTOPPED(status) ? "stopped" : "ran");
  };
  EXPECT_EQ(Ended(background).first, "ran");
  close(master);
}

}  // namespace
}  // namespace quorvex
