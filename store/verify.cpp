#include "store/verify.hpp"

#include <NTL/ZZ.h>

#include <cstdio>
#include <memory>
#include <string>

#include "control/file_reading.hpp"
#include "control/line_reader.hpp"
#include "store/result_log.hpp"
#include "store/seed_database.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"

namespace quorvex {

namespace {

struct Tally {
  int32_t checked = 0;
  int32_t wrong = 0;
};

// Checks every solution line of one file for the power.
void VerifyFile(const char* name, int32_t power, Tally& tally) {
  FilePtr file(std::fopen(name, "rt"));
  if (!file) return;
  ParsedSolution parsed;
  SolutionRecord record;
  while (LineReader(file.get(), kLineLimit) >= 0) {
    if (gLine.LineBuffer[0] != '(') continue;
    ParseRefusal refusal = TryParseSolutionLine(power, name, parsed);
    if (refusal.message.empty() && parsed.otherPower) continue;
    // Only a line that the start-up skipped (a torn last line) gets here.
    if (!refusal.message.empty() || parsed.flaw != nullptr ||
        parsed.sum != static_cast<int64_t>(parsed.m) + parsed.n) {
      std::printf("Cannot read a line of %s: %s\n", name, gLine.LineBuffer);
      continue;
    }
    if (parsed.count >= kMaxTerms) {
      std::printf("Not checkable in %s (%lld Terms): %s\n", name,
                  static_cast<long long>(parsed.count), gLine.LineBuffer);
      continue;
    }
    ++tally.checked;
    if (IdentityHolds(parsed.terms, static_cast<int32_t>(parsed.count), power)) continue;
    ++tally.wrong;
    FillRecord(parsed, record);
    std::printf("False identity in %s: %s\n", name, FormatSolution(record, power).c_str());
  }
}

}  // namespace

bool IdentityHolds(const Term* terms, int32_t count, int32_t power) {
  if (power < 0) return false;
  NTL::ZZ total;
  NTL::ZZ value;
  for (int32_t i = 0; i < count; ++i) {
    NTL::power(value, NTL::conv<NTL::ZZ>(static_cast<long>(terms[i].base)), power);
    NTL::mul(value, value, static_cast<long>(terms[i].multiplicity));
    NTL::add(total, total, value);
  }
  return NTL::IsZero(total);
}

int VerifyAll(int32_t power) {
  Tally tally;
  for (const SolutionRecord& slot : gStore.slots) {
    if (slot.termCount == 0) continue;
    ++tally.checked;
    if (IdentityHolds(slot.terms, slot.termCount, power)) continue;
    ++tally.wrong;
    std::printf("False identity in the store: %s\n", FormatSolution(slot, power).c_str());
  }
  VerifyFile(ResultLogName(power).c_str(), power, tally);
  VerifyFile(kSeedDatabaseFile, power, tally);
  std::printf("Checked %d solutions, %d false\n", tally.checked, tally.wrong);
  std::fflush(stdout);
  return tally.wrong == 0 ? 0 : 1;
}

}  // namespace quorvex
