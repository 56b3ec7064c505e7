#pragma once

// The one reader of a solution line, for every text file that holds them
// (the result log, the seed database, and what verify and merge read): the
// notation's numbers, the checks of each file in its own order, and the
// refusals with their messages.
#include <cstdint>
#include <string>

#include "store/solution_record.hpp"

namespace quorvex {

// What ParseSolutionLine read from a line.
struct ParsedSolution {
  bool otherPower;  // the line belongs to another power; nothing else is set
  int32_t m;
  int32_t n;
  int64_t count;    // Terms read (only the first 200 are kept)
  int64_t sum;      // sum of their multiplicities
  int64_t leftSum;  // sum of the multiplicities that went to the left side
  // The first Term no record may hold ("base 0", "multiplicity 0"), or null.
  const char* flaw;
  Term terms[kMaxTerms];
};

// Why TryParseSolutionLine refused a line.
struct ParseRefusal {
  std::string message;  // the full fatal message; empty when the line was read
  // The refusal came from one Term (a number too large); out.count then
  // holds the Terms read before it.
  bool atTerm = false;
};

// Parses `line` (its first character "("); `fileName` is quoted in the
// messages. Hands a refusal back instead of ending the process, so a reader
// can decide what a bad line costs (a line torn by a crash is skipped, any
// other is fatal).
ParseRefusal TryParseSolutionLine(const char* line, int32_t power, const char* fileName,
                                  ParsedSolution& out);

// The refusal of a line that passed a file's own checks but would store a
// record no store may hold: a Term of base or multiplicity 0, or Terms that
// the running sum put on the left adding up to something other than m. Empty
// when the line may be stored.
std::string StorableRefusal(const char* line, const ParsedSolution& parsed, const char* fileName);

// Copies m, n and the Terms of a parsed line into a record for InsertRecord.
void FillRecord(const ParsedSolution& parsed, SolutionRecord& record);

// The files of solution lines, which check a line in different orders.
enum class SolutionFile {
  ResultLog,     // the Term count first ("Too much terms on"), then the sum
  SeedDatabase,  // the sum first, then the Term count (a long seed is no error)
};

enum class LineVerdict {
  Ignored,   // blank, a comment, or another power
  Solution,  // parsed into `parsed`, to be stored
  TooLong,   // a seed of 200 Terms or more: known, not stored
  Refused,   // `failure` holds the fatal message
};

// Judges one line of a file of solution lines for the power.
LineVerdict JudgeSolutionLine(const char* line, int32_t power, SolutionFile file,
                              const char* fileName, ParsedSolution& parsed, std::string& failure);

}  // namespace quorvex
