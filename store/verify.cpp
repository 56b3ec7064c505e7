#include "store/verify.hpp"

#include <NTL/ZZ.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "base/file_reading.hpp"
#include "base/line_reader.hpp"
#include "store/result_log.hpp"
#include "store/seed_database.hpp"
#include "store/solution_line.hpp"
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
  std::string failure;
  LineReader reader(file.get());
  while (reader.Next() >= 0) {
    const char* line = reader.LineBuffer();
    if (line[0] != '(') continue;
    switch (JudgeSolutionLine(line, power, SolutionFile::SeedDatabase, name, parsed, failure)) {
      case LineVerdict::Ignored:
        continue;
      case LineVerdict::Refused:
        // Only a line that the start-up skipped (a torn last line) gets here.
        std::printf("Cannot read a line of %s: %s\n", name, line);
        continue;
      case LineVerdict::TooLong:
        std::printf("Not checkable in %s (%lld Terms): %s\n", name,
                    static_cast<long long>(parsed.count), line);
        continue;
      case LineVerdict::Solution:
        break;
    }
    ++tally.checked;
    if (IdentityHolds(parsed.terms, static_cast<int32_t>(parsed.count), power)) continue;
    ++tally.wrong;
    FillRecord(parsed, record);
    std::printf("False identity in %s: %s\n", name, FormatSolution(record, power).c_str());
  }
}

}  // namespace

namespace {

__extension__ typedef unsigned __int128 WideUnsigned;

// Primes below 2^62: a sum that one of them does not divide is not 0.
constexpr uint64_t kPrimes[] = {2305843009213693951ull, 4611686018427387847ull,
                                1000000000000000003ull, 999999999999999989ull};

// `value` modulo the prime, as a residue from 0 on.
uint64_t Residue(int64_t value, uint64_t prime) {
  const uint64_t magnitude = static_cast<uint64_t>(value < 0 ? -value : value) % prime;
  return value < 0 && magnitude != 0 ? prime - magnitude : magnitude;
}

uint64_t PowerModulo(uint64_t base, uint32_t exponent, uint64_t prime) {
  uint64_t result = 1 % prime;
  for (; exponent != 0; exponent >>= 1) {
    if (exponent & 1) result = static_cast<uint64_t>(WideUnsigned{result} * base % prime);
    base = static_cast<uint64_t>(WideUnsigned{base} * base % prime);
  }
  return result;
}

}  // namespace

bool IdentityHolds(const Term* terms, int32_t count, int32_t power) {
  if (power < 0) return false;
  // The copies of each base, added up: a base repeated in a line counts once.
  std::map<int32_t, int64_t> copies;
  for (int32_t i = 0; i < count; ++i) copies[terms[i].base] += terms[i].multiplicity;
  std::erase_if(copies, [](const auto& entry) { return entry.second == 0; });
  // Modulo a few primes first: a false identity is told at once, however
  // large the power, where the exact sum of a power in the millions would
  // take gigabytes. Only what passes them all is computed exactly.
  for (const uint64_t prime : kPrimes) {
    uint64_t sum = 0;
    for (const auto& [base, multiplicity] : copies) {
      const uint64_t times = Residue(multiplicity, prime);
      const uint64_t value = PowerModulo(Residue(base, prime), static_cast<uint32_t>(power), prime);
      sum = static_cast<uint64_t>((WideUnsigned{sum} + WideUnsigned{times} * value) % prime);
    }
    if (sum != 0) return false;
  }
  NTL::ZZ total;
  NTL::ZZ value;
  for (const auto& [base, multiplicity] : copies) {
    NTL::power(value, NTL::conv<NTL::ZZ>(static_cast<long>(base)), power);
    NTL::mul(value, value, static_cast<long>(multiplicity));
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
