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
};
extern LineState gLine;

// Reads one line (without its line end, carriage returns and character 26
// dropped) into LineBuffer. Returns its length, or -1 at end of file with no
// character read. Lines of limit characters or more end the process (status 1).
int32_t LineReader(std::FILE* file, int32_t limit);

// Reads an unsigned decimal digit run at LineCursor, wrapping in 32 bits.
int32_t ReadDecimal();

}  // namespace quorvex
