#include "base/keyboard.hpp"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "base/run_state.hpp"

namespace quorvex {

namespace {

constexpr unsigned char kEscape = 27;
// An escape sequence arrives as one burst; a lone Escape is followed by nothing
// within this many milliseconds.
constexpr int kSequenceGapMs = 20;

// A person waits for a key press to take effect: a few tens of milliseconds
// between reads are not noticed, and cost nothing.
constexpr auto kWatchPeriod = std::chrono::milliseconds(20);

struct TerminalState {
  termios saved{};
  bool changed = false;
  bool exitHookRegistered = false;
};
TerminalState gTerminal;

struct KeyboardWatch {
  std::jthread thread;
  std::mutex mutex;
  std::condition_variable_any wake;
};
KeyboardWatch gWatch;

void RestoreTerminal() {
  if (!gTerminal.changed) return;
  // With SIGTTOU blocked the mode is restored even when the job has been moved
  // to the background since, instead of the process being stopped at its exit.
  sigset_t block, previous;
  sigemptyset(&block);
  sigaddset(&block, SIGTTOU);
  sigprocmask(SIG_BLOCK, &block, &previous);
  tcsetattr(STDIN_FILENO, TCSANOW, &gTerminal.saved);
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  gTerminal.changed = false;
}

// A terminal can be read and set only by its foreground job; a background job
// that tried would be stopped by SIGTTIN or SIGTTOU. A terminal that is not
// the controlling one has no foreground job and is always usable.
bool UsableTerminal() {
  if (!isatty(STDIN_FILENO)) return false;
  pid_t foreground = tcgetpgrp(STDIN_FILENO);
  return foreground == -1 || foreground == getpgrp();
}

// Reads one byte if one arrives within timeoutMs; -1 otherwise.
int ReadByte(int timeoutMs) {
  pollfd p{STDIN_FILENO, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0 || (p.revents & POLLIN) == 0) return -1;
  unsigned char c = 0;
  if (read(STDIN_FILENO, &c, 1) != 1) return -1;
  return c;
}

}  // namespace

void KeyboardBegin() {
  if (!UsableTerminal() || gTerminal.changed) return;
  if (tcgetattr(STDIN_FILENO, &gTerminal.saved) != 0) return;
  termios raw = gTerminal.saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
  gTerminal.changed = true;
  // A fatal error ends the process through exit(), which runs this too.
  if (!gTerminal.exitHookRegistered) {
    gTerminal.exitHookRegistered = true;
    std::atexit(RestoreTerminal);
    // Ending from a worker thread skips the atexit handlers (see ExitProcess).
    std::at_quick_exit(RestoreTerminal);
  }
}

void KeyboardEnd() {
  RestoreTerminal();
}

void StartKeyboardWatch() {
  if (gWatch.thread.joinable() || !isatty(STDIN_FILENO)) return;
  gWatch.thread = std::jthread([](std::stop_token stop) {
    std::unique_lock lock(gWatch.mutex);
    while (!stop.stop_requested()) {
      PollEscapeKey();
      gWatch.wake.wait_for(lock, stop, kWatchPeriod, [] { return false; });
    }
  });
}

void StopKeyboardWatch() {
  if (!gWatch.thread.joinable()) return;
  gWatch.thread.request_stop();
  gWatch.thread.join();
}

void PollEscapeKey() {
  if (!UsableTerminal()) return;
  int key = ReadByte(0);
  if (key != kEscape) return;
  int next = ReadByte(kSequenceGapMs);
  if (next < 0) {
    gRun.StopRequested = 1;
    return;
  }
  // An arrow or function key: swallow the rest of its sequence, up to the
  // final byte of a CSI or SS3 sequence.
  if (next == '[' || next == 'O') {
    for (int c = ReadByte(kSequenceGapMs); c >= 0; c = ReadByte(kSequenceGapMs)) {
      if (c >= 0x40 && c <= 0x7e) break;
    }
  }
}

}  // namespace quorvex
