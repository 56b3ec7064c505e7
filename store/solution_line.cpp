#include "store/solution_line.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "base/line_reader.hpp"

namespace quorvex {

namespace {

constexpr int64_t kLargestNumber = 2147483647;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char text[2 * kLineLimit + 512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// Reads a digit run at the cursor like ReadDecimal, but first makes sure its
// value fits: a wrapped number would silently turn into another solution.
// Returns false, with the cursor unmoved, for a value beyond 2147483647.
bool ReadNumber(const char*& cursor, int32_t& value) {
  int64_t exact = 0;
  for (const char* p = cursor; *p >= '0' && *p <= '9'; ++p) {
    exact = exact * 10 + (*p - '0');
    if (exact > kLargestNumber) return false;
  }
  value = ReadDecimal(cursor);
  return true;
}

std::string BadLine(const char* line, const char* fileName, const char* reason) {
  return Printf("Bad solution line in %s (%s): %s\n", fileName, reason, line);
}

ParseRefusal Refuse(const char* line, const char* fileName, const char* reason,
                    bool atTerm = false) {
  ParseRefusal refusal;
  refusal.message = BadLine(line, fileName, reason);
  refusal.atTerm = atTerm;
  return refusal;
}

ParseRefusal Fail(std::string message) {
  ParseRefusal refusal;
  refusal.message = std::move(message);
  return refusal;
}

// One Term as the reader places it: the side follows the running sum before
// it, not the "=", and Terms past the 200th are counted, not kept.
void AddTerm(ParsedSolution& out, int32_t base, int32_t multiplicity) {
  const bool left = out.sum < out.m;
  if (out.count < kMaxTerms) {
    out.terms[out.count] = Term{base, left ? multiplicity : -multiplicity};
  }
  if (left) out.leftSum += multiplicity;
  out.sum += multiplicity;
  ++out.count;
}

}  // namespace

ParseRefusal TryParseSolutionLine(const char* line, int32_t power, const char* fileName,
                                  ParsedSolution& out) {
  out.otherPower = false;
  out.m = 0;
  out.n = 0;
  out.count = 0;
  out.sum = 0;
  out.leftSum = 0;
  out.flaw = nullptr;
  const char* cursor = line + 1;

  int32_t linePower = 0;
  if (!ReadNumber(cursor, linePower)) return Refuse(line, fileName, "number too large");
  if (linePower != power) {
    out.otherPower = true;
    return {};
  }
  if (*cursor != ',') return Fail("Bad format 1\n");
  ++cursor;
  if (!ReadNumber(cursor, out.m)) return Refuse(line, fileName, "number too large");
  if (*cursor != ',') return Fail("Bad format 2\n");
  ++cursor;
  if (!ReadNumber(cursor, out.n)) return Refuse(line, fileName, "number too large");
  if (*cursor != ')') return Fail("Bad format 3\n");
  ++cursor;
  while (*cursor == ' ') ++cursor;

  // In 64 bits: m and n each fit 32, their sum need not.
  const int64_t total = static_cast<int64_t>(out.m) + out.n;
  // Without powers there is nothing to store, and the canonical form could
  // never finish halving an empty record.
  if (total == 0) return Refuse(line, fileName, "no powers in the header");

  while (out.sum < total) {
    const char* const termStart = cursor;
    int32_t base = 0;
    int32_t multiplicity = 1;
    if (!ReadNumber(cursor, base)) return Refuse(line, fileName, "number too large", true);
    if (*cursor == '*') {
      ++cursor;
      if (!ReadNumber(cursor, multiplicity)) {
        return Refuse(line, fileName, "number too large", true);
      }
    }
    // Such a Term cannot be stored; whether the line is refused for it is
    // decided after the checks that the loaders make first.
    if (out.flaw == nullptr && base == 0) out.flaw = "base 0";
    if (out.flaw == nullptr && multiplicity == 0) out.flaw = "multiplicity 0";
    AddTerm(out, base, multiplicity);
    if (*cursor == '=') {
      if (out.sum != out.m) {
        return Fail(Printf("Bad number of left terms (%lld,%d)) on %s\n",
                           static_cast<long long>(out.sum), out.m, line));
      }
      ++cursor;
    } else if (*cursor == '+') {
      ++cursor;
    }
    if (cursor == termStart) {
      // Stuck on a character that is no digit and no separator (a space, the
      // end of the line): every further Term reads as base 0 with
      // multiplicity 1 right here, so the rest of them is added at once
      // instead of one by one, up to two thousand million times.
      while (out.sum < total && out.count < kMaxTerms) AddTerm(out, 0, 1);
      const int64_t rest = total - out.sum;
      out.leftSum += std::clamp<int64_t>(out.m - out.sum, 0, rest);
      out.count += rest;
      out.sum = total;
    }
  }
  return {};
}

std::string StorableRefusal(const char* line, const ParsedSolution& parsed, const char* fileName) {
  if (parsed.flaw != nullptr) return BadLine(line, fileName, parsed.flaw);
  // Possible only without "=" after the left Terms: stored, the record's
  // counts would disagree with its Terms.
  if (parsed.leftSum != parsed.m) {
    return BadLine(line, fileName, "the left side does not add up to m");
  }
  return {};
}

void FillRecord(const ParsedSolution& parsed, SolutionRecord& record) {
  record.next = nullptr;
  record.prev = nullptr;
  record.signature = 0;
  record.leftCount = parsed.m;
  record.rightCount = parsed.n;
  record.termCount = static_cast<int32_t>(parsed.count);
  for (int32_t i = 0; i < record.termCount; ++i) record.terms[i] = parsed.terms[i];
}

LineVerdict JudgeSolutionLine(const char* line, int32_t power, SolutionFile file,
                              const char* fileName, ParsedSolution& parsed, std::string& failure) {
  const char first = line[0];
  if (first == '\0' || first == '/' || first == ';') return LineVerdict::Ignored;
  if (first != '(') {
    failure = "Wrong line: " + std::string(line) + "\n";
    return LineVerdict::Refused;
  }
  const ParseRefusal refusal = TryParseSolutionLine(line, power, fileName, parsed);
  const bool log = file == SolutionFile::ResultLog;
  const std::string tooMuch = "Too much terms on " + std::string(line) + "\n";
  if (!refusal.message.empty()) {
    // In the log, 200 Terms were too many before the bad Term was reached.
    failure = log && refusal.atTerm && parsed.count >= kMaxTerms ? tooMuch : refusal.message;
    return LineVerdict::Refused;
  }
  if (parsed.otherPower) return LineVerdict::Ignored;
  if (log && parsed.count >= kMaxTerms) {
    failure = tooMuch;
    return LineVerdict::Refused;
  }
  if (parsed.sum != static_cast<int64_t>(parsed.m) + parsed.n) {
    failure = "Bad number of terms\n";
    return LineVerdict::Refused;
  }
  if (parsed.count >= kMaxTerms) return LineVerdict::TooLong;
  failure = StorableRefusal(line, parsed, fileName);
  return failure.empty() ? LineVerdict::Solution : LineVerdict::Refused;
}

}  // namespace quorvex
