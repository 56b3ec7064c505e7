#include "base/line_reader.hpp"

#include "base/fatal_error.hpp"

namespace quorvex {

LineReader::LineReader(std::FILE* file, int32_t limit) : file_(file), limit_(limit) {
  buffer_[0] = '\0';
}

int32_t LineReader::TryNext() {
  if (limit_ > kLineLimit) {
    std::printf("Error buffer\n");
    ExitProcess(1);
  }
  int32_t stored = 0;
  bool endedByEof = false;
  for (;;) {
    int c = std::fgetc(file_);
    if (c == EOF) {
      endedByEof = true;
      break;
    }
    if (c == '\n') break;
    if (c == '\r' || c == 26) continue;
    if (stored >= limit_) {
      buffer_[stored] = '\0';
      tooLongWithMore_ = true;
      return kLineTooLong;
    }
    buffer_[stored++] = static_cast<char>(c);
  }
  buffer_[stored] = '\0';
  if (stored == limit_) {
    tooLongWithMore_ = false;
    return kLineTooLong;
  }
  endedAtEof_ = endedByEof;
  if (stored == 0 && endedByEof) return -1;
  return stored;
}

int32_t LineReader::Next() {
  const int32_t length = TryNext();
  if (length == kLineTooLong) StopAtLongLine(Refused(), limit_);
  return length;
}

LongLine LineReader::Refused() const {
  // Up to the limit, NULs included: printed as a C string, an embedded NUL
  // ends it, as it would in the line's own text.
  return {std::string(buffer_, static_cast<size_t>(limit_ < 0 ? 0 : limit_)), tooLongWithMore_};
}

void StopAtLongLine(const LongLine& line, int32_t limit) {
  // The refused line always holds exactly limit characters.
  if (line.withMore) {
    std::printf("Buffer too short A %d,%d\n", limit, limit);
    std::printf("%.*s\n", static_cast<int>(limit), line.text.c_str());
  } else {
    std::printf("Buffer too short B %d,%d\n", limit, limit);
  }
  ExitProcess(1);
}

int32_t ReadDecimal(const char*& LineCursor) {
  // Unsigned arithmetic gives the 32-bit wrap-around without undefined behaviour.
  uint32_t value = 0;
  while (*LineCursor >= '0' && *LineCursor <= '9') {
    value = value * 10u + static_cast<uint32_t>(*LineCursor - '0');
    ++LineCursor;
  }
  return static_cast<int32_t>(value);
}

}  // namespace quorvex
