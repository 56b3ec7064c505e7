#pragma once

#include <cstdint>
#include <string>

#include "store/solution_record.hpp"

namespace quorvex {

// "(k,m,n) left=right" without suffix.
std::string FormatSolution(const SolutionRecord& record, int32_t power);

// What ParseSolutionLine read from the line in LineBuffer.
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

// Parses the solution line in LineBuffer (first character "("); format errors
// end the process. `fileName` is quoted in the messages it adds.
void ParseSolutionLine(int32_t power, const char* fileName, ParsedSolution& out);

// Why TryParseSolutionLine refused a line.
struct ParseRefusal {
  std::string message;  // the full fatal message; empty when the line was read
  // The refusal came from one Term (a number too large); out.count then
  // holds the Terms read before it.
  bool atTerm = false;
};

// The parser behind ParseSolutionLine: hands a refusal back instead of ending
// the process, so a loader can decide what a bad line costs (a line torn by a
// crash is skipped, any other is fatal).
ParseRefusal TryParseSolutionLine(int32_t power, const char* fileName, ParsedSolution& out);

// The refusal of a line that passed the loader's own checks but would store a
// record no store may hold: a Term of base or multiplicity 0, or Terms that
// the running sum put on the left adding up to something other than m. Empty
// when the line may be stored.
std::string StorableRefusal(const ParsedSolution& parsed, const char* fileName);

// Copies m, n and the Terms of a parsed line into a record for InsertRecord.
void FillRecord(const ParsedSolution& parsed, SolutionRecord& record);

// The "extract" listing line: the solution followed by "(Note: %f)".
void PrintSolutionNote(const SolutionRecord& record);

}  // namespace quorvex
