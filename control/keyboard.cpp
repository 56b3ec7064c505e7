#include "control/keyboard.hpp"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "control/run_state.hpp"

namespace quorvex {

namespace {

constexpr unsigned char kEscape = 27;
// An escape sequence arrives as one burst; a lone Escape is followed by nothing
// within this many milliseconds.
constexpr int kSequenceGapMs = 20;

struct TerminalState {
  termios saved{};
  bool changed = false;
  bool exitHookRegistered = false;
};
TerminalState gTerminal;

void RestoreTerminal() {
  if (!gTerminal.changed) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &gTerminal.saved);
  gTerminal.changed = false;
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
  if (!isatty(STDIN_FILENO) || gTerminal.changed) return;
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
  }
}

void KeyboardEnd() {
  RestoreTerminal();
}

void PollEscapeKey() {
  if (!isatty(STDIN_FILENO)) return;
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
