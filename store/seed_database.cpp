#include "store/seed_database.hpp"

#include <cstdio>
#include <memory>
#include <string>

#include "control/console.hpp"
#include "control/fatal_error.hpp"
#include "control/file_reading.hpp"
#include "control/line_reader.hpp"
#include "control/run_state.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"

namespace quorvex {

FileReading ReadSeedDatabase(int32_t power, const SolutionSink& take, const LongSeedSink& tooLong) {
  FileReading reading;
  FilePtr file(std::fopen(kSeedDatabaseFile, "rt"));
  if (!file) {
    reading.missing = true;
    return reading;
  }
  ParsedSolution parsed;
  SolutionRecord record;
  int32_t length;
  while ((length = TryLineReader(file.get(), kLineLimit)) >= 0) {
    if (StopNow()) {
      reading.stopped = true;
      return reading;
    }
    ++reading.line;
    const char first = gLine.LineBuffer[0];
    if (first == '\0' || first == '/' || first == ';') continue;
    if (first != '(') {
      reading.failure = "Wrong line: " + std::string(gLine.LineBuffer) + "\n";
      return reading;
    }
    ParseRefusal refusal = TryParseSolutionLine(power, kSeedDatabaseFile, parsed);
    if (!refusal.message.empty()) {
      reading.failure = refusal.message;
      return reading;
    }
    if (parsed.otherPower) continue;
    if (parsed.sum != static_cast<int64_t>(parsed.m) + parsed.n) {
      reading.failure = "Bad number of terms\n";
      return reading;
    }
    if (parsed.count >= kMaxTerms) {
      tooLong(parsed.m, parsed.n);
      continue;
    }
    reading.failure = StorableRefusal(parsed, kSeedDatabaseFile);
    if (!reading.failure.empty()) return reading;
    FillRecord(parsed, record);
    SortTerms(record);
    take(record);
  }
  if (length == kLineTooLong) reading.RefuseLongLine();
  return reading;
}

int32_t LoadSeedDatabase(int32_t power) {
  FileReading reading = ReadSeedDatabase(
      power, [](SolutionRecord& record) { InsertRecord(record, nullptr, InsertQuiet); },
      [power](int32_t m, int32_t n) {
        // Too long to store, but known: later solutions must beat its size. The
        // header's own m and n count, with no exchange of sides.
        Print("Skipping (%d,%d,%d): too much terms\n", power, m, n);
        if (BestRightImproves(m, n)) LowerBestRight(m, n);
      });
  if (reading.missing) {
    Print("No DATABASE.TXT file\n");
    return 0;
  }
  if (reading.stopped) return 1;
  if (reading.longLine) StopAtLongLine(kLineLimit);
  if (!reading.failure.empty()) FatalError(reading.failure.c_str());
  return 0;
}

}  // namespace quorvex
