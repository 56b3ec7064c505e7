#include "store/result_log.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "base/atomic_file.hpp"
#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "base/file_reading.hpp"
#include "base/line_reader.hpp"
#include "base/run_state.hpp"
#include "store/solution_line.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"
#include "store/verify.hpp"

namespace quorvex {

namespace {

bool AppendSynced(const std::string& name, const std::string& data) {
  int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat info;
  const off_t before = ::fstat(fd, &info) == 0 ? info.st_size : -1;
  bool ok = WriteAll(fd, data.data(), data.size()) && ::fsync(fd) == 0;
  // A full disk can take part of the line before it refuses the rest. The log
  // is cut back to what it held, so a refused line leaves no torn tail behind.
  if (!ok && before >= 0) {
    while (::ftruncate(fd, before) != 0 && errno == EINTR) {
    }
  }
  return (::close(fd) == 0) && ok;
}

// Judges a line of the log for the power. A line without line end is only
// accepted when it holds as an identity: a tear inside a number can leave a
// line that reads well but is false.
LineVerdict JudgeLogLine(const char* line, int32_t power, const std::string& name,
                         bool unterminated, ParsedSolution& parsed, std::string& failure) {
  const LineVerdict verdict =
      JudgeSolutionLine(line, power, SolutionFile::ResultLog, name.c_str(), parsed, failure);
  if (verdict == LineVerdict::Solution && unterminated &&
      !IdentityHolds(parsed.terms, static_cast<int32_t>(parsed.count), power)) {
    failure = "False identity\n";
    return LineVerdict::Refused;
  }
  return verdict;
}

// Whether the start-up reader would skip `tail`, the last line of the log
// without its line end, as torn.
bool TailIsTorn(const std::string& tail, int32_t power, const std::string& name) {
  // Longer than any line this program writes, so it cannot be one of them.
  if (tail.size() >= static_cast<std::size_t>(kLineLimit)) return true;
  FilePtr stream(::fmemopen(const_cast<char*>(tail.data()), tail.size(), "r"));
  if (!stream) return true;
  LineReader reader(stream.get());
  ParsedSolution parsed;
  std::string failure;
  return reader.TryNext() >= 0 && JudgeLogLine(reader.LineBuffer(), power, name, true, parsed,
                                               failure) == LineVerdict::Refused;
}

// Appends the line after a last line that has no line end (an append cut off
// by a crash or a full disk). A tail that reads as a valid line is closed with
// a line end. A torn one becomes a comment (";" before it): closed as it is,
// it would stop every later start as a bad line in the middle of the file.
// The file is then replaced as a whole, so a crash leaves the old one.
bool AppendAfterTornTail(const std::string& name, const std::string& line) {
  std::string content;
  {
    FilePtr file(std::fopen(name.c_str(), "rb"));
    if (!file) return false;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
      content.append(buffer, got);
    if (std::ferror(file.get())) return false;
  }
  std::size_t newline = content.rfind('\n');
  const std::size_t tailStart = newline == std::string::npos ? 0 : newline + 1;
  const std::string tail = content.substr(tailStart);
  if (!TailIsTorn(tail, gRun.CurrentPower, name)) return AppendSynced(name, "\n" + line);
  std::string repaired = content.substr(0, tailStart);
  // The ";" makes the line one character longer: a tail near the reader's
  // line limit goes over several comment lines, so none of them reaches it.
  const std::size_t room = static_cast<std::size_t>(kLineLimit) - 2;
  for (std::size_t at = 0; at == 0 || at < tail.size(); at += room) {
    repaired += ';';
    repaired += tail.substr(at, room);
    repaired += '\n';
  }
  repaired += line;
  if (!ReplaceFileAtomically(name, repaired.data(), repaired.size())) return false;
  // Only said once it is so: a failed repair leaves the log as it was.
  Print("Torn last line of %s kept as a comment: %s\n", name.c_str(), tail.c_str());
  return true;
}

// Appends the line and syncs it to disk, closing a torn last line first.
bool AppendLine(const std::string& name, const std::string& line) {
  int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    struct stat info;
    char last = '\n';
    if (::fstat(fd, &info) == 0 && info.st_size > 0 &&
        ::pread(fd, &last, 1, info.st_size - 1) != 1) {
      last = '\n';
    }
    ::close(fd);
    if (last != '\n') return AppendAfterTornTail(name, line);
  }
  return AppendSynced(name, line);
}

}  // namespace

std::string ResultLogName(int32_t power) {
  return "DATA" + std::to_string(power) + ".TXT";
}

namespace {
std::function<void(const SolutionRecord&)> gDiversion;
}  // namespace

ResultLogDiversion::ResultLogDiversion(std::function<void(const SolutionRecord&)> diversion) {
  if (gDiversion) FatalError("Internal\n");
  gDiversion = std::move(diversion);
}

ResultLogDiversion::~ResultLogDiversion() {
  gDiversion = nullptr;
}

void LogSolution(const SolutionRecord& record) {
  if (gDiversion) {
    gDiversion(record);
    return;
  }
  const std::string name = ResultLogName(gRun.CurrentPower);
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, " (%d,%d)\n", gRun.CurrentWeight, gRun.PassCounter);
  const std::string line = FormatSolution(record, gRun.CurrentPower) + suffix;
  const bool written = AppendLine(name, line);
  // Printed even when the file refused it, so the result is not lost.
  Print("%s", line.c_str());
  FlushConsole();
  if (!written) StopOnFailedWrite(name);
}

ResultLogReading ReadResultLog(int32_t power, const SolutionSink& take, const std::string& folder,
                               const std::function<void(const char* line)>& lines) {
  ResultLogReading reading;
  const std::string name =
      folder.empty() ? ResultLogName(power) : folder + "/" + ResultLogName(power);
  FilePtr file(std::fopen(name.c_str(), "rt"));
  if (!file) {
    reading.missing = true;
    return reading;
  }
  ParsedSolution parsed;
  SolutionRecord record;
  LineReader reader(file.get());
  int32_t length;
  while ((length = reader.TryNext()) >= 0) {
    if (StopNow()) {
      reading.stopped = true;
      return reading;
    }
    ++reading.line;
    const char* line = reader.LineBuffer();
    switch (JudgeLogLine(line, power, name, reader.EndedAtEof(), parsed, reading.failure)) {
      case LineVerdict::Ignored:
      case LineVerdict::TooLong:  // only the seed database has these
        continue;
      case LineVerdict::Refused:
        if (reader.EndedAtEof()) {
          // Only the last line can lack its line end: an append cut off by a
          // crash. Everything before it is intact, so the reading goes on.
          reading.tornLine = line;
          reading.failure.clear();
          continue;
        }
        return reading;
      case LineVerdict::Solution:
        FillRecord(parsed, record);
        SortTerms(record);
        take(record);
        if (lines) lines(line);
        break;
    }
  }
  if (length == kLineTooLong) reading.RefuseLongLine(reader);
  return reading;
}

int32_t LoadResultLog(int32_t power) {
  ResultLogReading reading = ReadResultLog(
      power, [](SolutionRecord& record) { InsertRecord(record, nullptr, InsertQuiet); });
  const std::string name = ResultLogName(power);
  if (reading.missing) {
    Print("No %s file\n", name.c_str());
    return 0;
  }
  if (reading.stopped) return 1;
  if (!reading.tornLine.empty()) {
    Print("Skipping the torn last line of %s: %s\n", name.c_str(), reading.tornLine.c_str());
  }
  EndOnFailedReading(reading);
  return 0;
}

}  // namespace quorvex
