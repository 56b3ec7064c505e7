#include "store/solution_notation.hpp"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "control/fatal_error.hpp"
#include "control/line_reader.hpp"
#include "control/run_state.hpp"
#include "store/best_right_table.hpp"

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

// Reads a digit run at LineCursor like ReadDecimal, but first makes sure its
// value fits: a wrapped number would silently turn into another solution.
// Returns false, with the cursor unmoved, for a value beyond 2147483647.
bool ReadNumber(int32_t& value) {
  int64_t exact = 0;
  for (const char* p = gLine.LineCursor; *p >= '0' && *p <= '9'; ++p) {
    exact = exact * 10 + (*p - '0');
    if (exact > kLargestNumber) return false;
  }
  value = ReadDecimal();
  return true;
}

ParseRefusal Refuse(const char* fileName, const char* reason, bool atTerm = false) {
  ParseRefusal refusal;
  refusal.message =
      Printf("Bad solution line in %s (%s): %s\n", fileName, reason, gLine.LineBuffer);
  refusal.atTerm = atTerm;
  return refusal;
}

ParseRefusal Fail(std::string message) {
  ParseRefusal refusal;
  refusal.message = std::move(message);
  return refusal;
}

void AppendTerm(std::string& text, int32_t base, int64_t copies) {
  text += std::to_string(base);
  if (copies > 1) {
    text += '*';
    text += std::to_string(copies);
  }
}

}  // namespace

std::string FormatSolution(const SolutionRecord& record, int32_t power) {
  std::string text = Printf("(%d,%d,%d) ", power, record.leftCount, record.rightCount);
  bool written = false;
  for (int32_t i = 0; i < record.termCount; ++i) {
    const Term& term = record.terms[i];
    if (term.multiplicity <= 0) continue;
    if (written) text += '+';
    AppendTerm(text, term.base, term.multiplicity);
    written = true;
  }
  text += '=';
  written = false;
  for (int32_t i = 0; i < record.termCount; ++i) {
    const Term& term = record.terms[i];
    if (term.multiplicity >= 0) continue;
    if (written) text += '+';
    // Widened before negating: the most negative 32-bit value has no positive twin.
    AppendTerm(text, term.base, -static_cast<int64_t>(term.multiplicity));
    written = true;
  }
  return text;
}

namespace {

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

ParseRefusal TryParseSolutionLine(int32_t power, const char* fileName, ParsedSolution& out) {
  out.otherPower = false;
  out.m = 0;
  out.n = 0;
  out.count = 0;
  out.sum = 0;
  out.leftSum = 0;
  out.flaw = nullptr;
  const char*& cursor = gLine.LineCursor;
  cursor = gLine.LineBuffer + 1;

  int32_t linePower = 0;
  if (!ReadNumber(linePower)) return Refuse(fileName, "number too large");
  if (linePower != power) {
    out.otherPower = true;
    return {};
  }
  if (*cursor != ',') return Fail("Bad format 1\n");
  ++cursor;
  if (!ReadNumber(out.m)) return Refuse(fileName, "number too large");
  if (*cursor != ',') return Fail("Bad format 2\n");
  ++cursor;
  if (!ReadNumber(out.n)) return Refuse(fileName, "number too large");
  if (*cursor != ')') return Fail("Bad format 3\n");
  ++cursor;
  while (*cursor == ' ') ++cursor;

  // In 64 bits: m and n each fit 32, their sum need not.
  const int64_t total = static_cast<int64_t>(out.m) + out.n;
  // Without powers there is nothing to store, and the canonical form could
  // never finish halving an empty record.
  if (total == 0) return Refuse(fileName, "no powers in the header");

  while (out.sum < total) {
    const char* const termStart = cursor;
    int32_t base = 0;
    int32_t multiplicity = 1;
    if (!ReadNumber(base)) return Refuse(fileName, "number too large", true);
    if (*cursor == '*') {
      ++cursor;
      if (!ReadNumber(multiplicity)) return Refuse(fileName, "number too large", true);
    }
    // Such a Term cannot be stored; whether the line is refused for it is
    // decided after the checks that the loaders make first.
    if (out.flaw == nullptr && base == 0) out.flaw = "base 0";
    if (out.flaw == nullptr && multiplicity == 0) out.flaw = "multiplicity 0";
    AddTerm(out, base, multiplicity);
    if (*cursor == '=') {
      if (out.sum != out.m) {
        return Fail(Printf("Bad number of left terms (%lld,%d)) on %s\n",
                           static_cast<long long>(out.sum), out.m, gLine.LineBuffer));
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

std::string StorableRefusal(const ParsedSolution& parsed, const char* fileName) {
  if (parsed.flaw != nullptr) return Refuse(fileName, parsed.flaw).message;
  // Possible only without "=" after the left Terms: stored, the record's
  // counts would disagree with its Terms.
  if (parsed.leftSum != parsed.m) {
    return Refuse(fileName, "the left side does not add up to m").message;
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

void ParseSolutionLine(int32_t power, const char* fileName, ParsedSolution& out) {
  ParseRefusal refusal = TryParseSolutionLine(power, fileName, out);
  if (!refusal.message.empty()) FatalError(refusal.message.c_str());
}

void PrintSolutionNote(const SolutionRecord& record) {
  const double powers = static_cast<double>(static_cast<int64_t>(record.leftCount) +
                                            static_cast<int64_t>(record.rightCount));
  std::printf("%s(Note: %f)\n", FormatSolution(record, gRun.CurrentPower).c_str(),
              static_cast<double>(gBest.NoteBound) / powers);
}

}  // namespace quorvex
