#include "control/line_reader.hpp"

#include "control/fatal_error.hpp"

namespace quorvex {

LineState gLine;

int32_t TryLineReader(std::FILE* file, int32_t limit) {
  if (limit > kLineLimit) {
    std::printf("Error buffer\n");
    ExitProcess(1);
  }
  int32_t stored = 0;
  bool endedByEof = false;
  for (;;) {
    int c = std::fgetc(file);
    if (c == EOF) {
      endedByEof = true;
      break;
    }
    if (c == '\n') break;
    if (c == '\r' || c == 26) continue;
    if (stored >= limit) {
      gLine.tooLongWithMore = true;
      return kLineTooLong;
    }
    gLine.LineBuffer[stored++] = static_cast<char>(c);
  }
  if (stored == limit) {
    gLine.tooLongWithMore = false;
    return kLineTooLong;
  }
  gLine.LineBuffer[stored] = '\0';
  gLine.LineCursor = gLine.LineBuffer;
  gLine.endedAtEof = endedByEof;
  if (stored == 0 && endedByEof) return -1;
  return stored;
}

void StopAtLongLine(int32_t limit) {
  // The refused line always holds exactly limit characters.
  if (gLine.tooLongWithMore) {
    std::printf("Buffer too short A %d,%d\n", limit, limit);
    // Printed as a C string: an embedded NUL ends it, as it would in the line's own text.
    std::printf("%.*s\n", static_cast<int>(limit), gLine.LineBuffer);
  } else {
    std::printf("Buffer too short B %d,%d\n", limit, limit);
  }
  ExitProcess(1);
}

int32_t LineReader(std::FILE* file, int32_t limit) {
  const int32_t length = TryLineReader(file, limit);
  if (length == kLineTooLong) StopAtLongLine(limit);
  return length;
}

int32_t ReadDecimal() {
  // Unsigned arithmetic gives the 32-bit wrap-around without undefined behaviour.
  uint32_t value = 0;
  while (*gLine.LineCursor >= '0' && *gLine.LineCursor <= '9') {
    value = value * 10u + static_cast<uint32_t>(*gLine.LineCursor - '0');
    ++gLine.LineCursor;
  }
  return static_cast<int32_t>(value);
}

}  // namespace quorvex
