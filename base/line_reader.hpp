#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quorvex {

constexpr int32_t kLineLimit = 8000;
constexpr int32_t kLineTooLong = -2;

// A line refused as too long: its first limit characters, and whether more
// came behind them before the line end.
struct LongLine {
  std::string text;
  bool withMore = false;
};

// Reads one text file line by line into a buffer of its own, so that readers
// of several files never share one.
class LineReader {
 public:
  explicit LineReader(std::FILE* file, int32_t limit = kLineLimit);
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Reads the next line into LineBuffer, its line end, carriage returns and
  // characters 26 dropped. Returns its length, -1 at end of file with no
  // character read, or kLineTooLong for a line of limit characters or more.
  int32_t TryNext();
  // TryNext for readers without a way back: a line too long ends the process
  // (status 1) with the messages of StopAtLongLine.
  int32_t Next();
  // The line last read, NUL-terminated.
  const char* LineBuffer() const { return buffer_; }
  // The last line ended at the end of the file, not at a line end: a line
  // torn by a crash during an append looks like this.
  bool EndedAtEof() const { return endedAtEof_; }
  // The line TryNext last refused as too long.
  LongLine Refused() const;

 private:
  std::FILE* file_;
  int32_t limit_;
  bool endedAtEof_ = false;
  bool tooLongWithMore_ = false;
  char buffer_[kLineLimit + 1];
};

// Ends the process as a line too long for the reader does ("Buffer too
// short A/B"), status 1.
[[noreturn]] void StopAtLongLine(const LongLine& line, int32_t limit = kLineLimit);

// Reads an unsigned decimal digit run at `LineCursor`, wrapping in 32 bits,
// and leaves the cursor on the first character that is no digit.
int32_t ReadDecimal(const char*& LineCursor);

}  // namespace quorvex
