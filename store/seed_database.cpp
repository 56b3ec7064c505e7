#include "store/seed_database.hpp"

#include <cstdio>
#include <memory>
#include <string>

#include "control/console.hpp"
#include "control/fatal_error.hpp"
#include "control/line_reader.hpp"
#include "control/run_state.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"

namespace quorvex {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void Fail(FilePtr& file, const std::string& message) {
  file.reset();
  FatalError(message.c_str());
}

}  // namespace

int32_t LoadSeedDatabase(int32_t power) {
  FilePtr file(std::fopen(kSeedDatabaseFile, "rt"));
  if (!file) {
    Print("No DATABASE.TXT file\n");
    return 0;
  }
  ParsedSolution parsed;
  SolutionRecord record;
  while (LineReader(file.get(), kLineLimit) >= 0) {
    if (StopNow()) return 1;
    const char first = gLine.LineBuffer[0];
    if (first == '\0' || first == '/' || first == ';') continue;
    if (first != '(') Fail(file, "Wrong line: " + std::string(gLine.LineBuffer) + "\n");

    ParseRefusal refusal = TryParseSolutionLine(power, kSeedDatabaseFile, parsed);
    if (!refusal.message.empty()) Fail(file, refusal.message);
    if (parsed.otherPower) continue;
    if (parsed.sum != static_cast<int64_t>(parsed.m) + parsed.n) {
      Fail(file, "Bad number of terms\n");
    }
    if (parsed.count < kMaxTerms) {
      if (std::string refusal = StorableRefusal(parsed, kSeedDatabaseFile); !refusal.empty()) {
        Fail(file, refusal);
      }
      FillRecord(parsed, record);
      SortTerms(record);
      InsertRecord(record, nullptr, InsertQuiet);
    } else {
      // Too long to store, but known: later solutions must beat its size. The
      // header's own m and n count, with no exchange of sides.
      Print("Skipping (%d,%d,%d): too much terms\n", power, parsed.m, parsed.n);
      if (BestRightImproves(parsed.m, parsed.n)) LowerBestRight(parsed.m, parsed.n);
    }
  }
  return 0;
}

}  // namespace quorvex
