#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "store/solution_record.hpp"

namespace quorvex {

// Takes each solution a reader finds: counts from the file, Terms sorted by
// SortTerms, not yet canonical. It may change the record.
using SolutionSink = std::function<void(SolutionRecord&)>;

// How reading one of the folder's files ended. The start-up loaders turn it
// into their messages and stops, the reports into theirs.
struct FileReading {
  bool missing = false;   // it could not be opened; nothing was read
  std::string failure;    // the damage that stopped the reading, as the loaders' fatal message
  bool longLine = false;  // the damage is a line of kLineLimit characters or more
  int32_t line = 0;       // text files: the number of the last line read
};

}  // namespace quorvex
