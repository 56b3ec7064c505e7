#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/file_reading.hpp"
#include "store/solution_record.hpp"

namespace quorvex {

// "DATA<k>.TXT"
std::string ResultLogName(int32_t power);
// Appends the record's line with the " (W,P)" suffix to DATA<k>.TXT (synced to
// disk before returning) and prints it. A last line without line end is
// closed first, so the new line stands on its own; one that the start-up
// reader would skip as torn is kept as a comment instead. When the log cannot be
// written the line is still printed, then the process ends with
// "Cannot write DATA<k>.TXT" (status 1).
void LogSolution(const SolutionRecord& record);
// While it lives, every LogSolution goes to `diversion` instead of the file
// and the console: a process of a spread search owns no file, and hands what
// it would log to the process that does. One at a time.
class ResultLogDiversion {
 public:
  explicit ResultLogDiversion(std::function<void(const SolutionRecord&)> diversion);
  ~ResultLogDiversion();
  ResultLogDiversion(const ResultLogDiversion&) = delete;
  ResultLogDiversion& operator=(const ResultLogDiversion&) = delete;
};
struct ResultLogReading : FileReading {
  std::string tornLine;  // a last line without line end that was skipped as torn
};
// Hands every solution of DATA<k>.TXT for the power to `take` (and its line,
// as written, to `lines`), and stops at the first line the loader refuses. A
// last line without line end that cannot be read, or does not hold as an
// identity, is taken for a line torn by a crash and skipped.
// `folder`: another folder's log instead of this one's (named with it in the
// messages).
ResultLogReading ReadResultLog(int32_t power, const SolutionSink& take,
                               const std::string& folder = "",
                               const std::function<void(const char* line)>& lines = {});
// Reads DATA<k>.TXT into the store (quietly). Returns 0, or 1 when a stop cut
// the reading short. A last line without
// line end that cannot be read, or does not hold as an identity, is taken for
// a line torn by a crash and skipped with a message.
int32_t LoadResultLog(int32_t power);

}  // namespace quorvex
