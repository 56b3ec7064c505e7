#pragma once

#include <cstdint>
#include <cstdio>

namespace quorvex {

constexpr int32_t kLineLimit = 8000;

// The one line being parsed: LineReader fills LineBuffer, parsers move LineCursor.
struct LineState {
  char LineBuffer[kLineLimit];
  const char* LineCursor;
  // The last line read ended at the end of the file, not at a line end: a line
  // torn by a crash during an append looks like this.
  bool endedAtEof;
  // The line TryLineReader last refused as too long went on past the limit
  // (its first limit characters are in LineBuffer) rather than ending at it.
  bool tooLongWithMore;
};
extern LineState gLine;

// Reads one line (without its line end, carriage returns and character 26
// dropped) into LineBuffer. Returns its length, or -1 at end of file with no
// character read. Lines of limit characters or more end the process (status 1).
int32_t LineReader(std::FILE* file, int32_t limit);

constexpr int32_t kLineTooLong = -2;
// LineReader for readers that must not end the process: a line of limit
// characters or more returns kLineTooLong instead.
int32_t TryLineReader(std::FILE* file, int32_t limit);
// Ends the process as LineReader does for the line TryLineReader refused.
[[noreturn]] void StopAtLongLine(int32_t limit);

// Reads an unsigned decimal digit run at LineCursor, wrapping in 32 bits.
int32_t ReadDecimal();

}  // namespace quorvex
