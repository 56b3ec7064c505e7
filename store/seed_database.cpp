#include "store/seed_database.hpp"

#include <cstdio>
#include <memory>
#include <string>

#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "base/file_reading.hpp"
#include "base/line_reader.hpp"
#include "base/run_state.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_line.hpp"
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
  LineReader reader(file.get());
  int32_t length;
  while ((length = reader.TryNext()) >= 0) {
    if (StopNow()) {
      reading.stopped = true;
      return reading;
    }
    ++reading.line;
    switch (JudgeSolutionLine(reader.LineBuffer(), power, SolutionFile::SeedDatabase,
                              kSeedDatabaseFile, parsed, reading.failure)) {
      case LineVerdict::Ignored:
        continue;
      case LineVerdict::TooLong:
        tooLong(parsed.m, parsed.n);
        continue;
      case LineVerdict::Refused:
        return reading;
      case LineVerdict::Solution:
        FillRecord(parsed, record);
        SortTerms(record);
        take(record);
        break;
    }
  }
  if (length == kLineTooLong) reading.RefuseLongLine(reader);
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
  EndOnFailedReading(reading);
  return 0;
}

}  // namespace quorvex
