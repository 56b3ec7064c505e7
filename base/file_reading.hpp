#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "base/line_reader.hpp"

namespace quorvex {

// A file open for one operation, closed however the operation ends.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// How reading one of the folder's files ended. The start-up loaders turn it
// into their messages and stops (EndOnFailedReading), the reports into theirs.
struct FileReading {
  bool missing = false;   // it could not be opened; nothing was read
  std::string failure;    // what stopped the reading, as the loaders' fatal message
  bool longLine = false;  // the damage is a line of kLineLimit characters or more
  LongLine refusedLine;   // that line
  int32_t line = 0;       // text files: the number of the last line read
  bool stopped = false;   // a stop cut the reading short

  // The line after the last one read was too long for the reader.
  void RefuseLongLine(const LineReader& reader) {
    ++line;
    longLine = true;
    refusedLine = reader.Refused();
    failure = "Line too long\n";
  }
};

// A start-up loader's end of a reading that failed: a line too long stops as
// the line reader does, any other failure through FatalError with its
// message. Returns when the reading did not fail.
void EndOnFailedReading(const FileReading& reading);

}  // namespace quorvex
