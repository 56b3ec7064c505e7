#include "bench/store_maker/store_check.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "base/file_reading.hpp"
#include "base/line_reader.hpp"
#include "bench/bench_support.hpp"
#include "store/checkpoint.hpp"
#include "store/record_codec.hpp"
#include "store/solution_line.hpp"
#include "store/store_index.hpp"
#include "store/verify.hpp"

namespace quorvex::bench {

bool ReadStoreEntries(const std::string& path, std::vector<Entry>& entries) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  int32_t count = 0;
  if (!ReadInt32(file.get(), count) || count < 0) return false;
  entries.assign(static_cast<size_t>(count), Entry{});
  SolutionRecord record;
  for (Entry& entry : entries) {
    const RecordRead read =
        ReadRecordWords([&file](int32_t& value) { return ReadInt32(file.get(), value); }, record);
    if (read != RecordRead::Read) return false;
    entry.assign(record.terms, record.terms + record.termCount);
  }
  return std::fgetc(file.get()) == EOF;
}

int32_t CheckEntries(const std::vector<Entry>& entries, int32_t power, const char* what) {
  int32_t failed = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    bool formed = !entry.empty() && static_cast<int32_t>(entry.size()) < kMaxTerms;
    for (size_t j = 0; j < entry.size() && formed; ++j) {
      formed = entry[j].base >= 1 && entry[j].multiplicity != 0 &&
               (j == 0 || entry[j].base < entry[j - 1].base);
    }
    const bool holds =
        formed && IdentityHolds(entry.data(), static_cast<int32_t>(entry.size()), power);
    if (holds) continue;
    if (++failed <= 5) {
      std::fprintf(stderr, "%s: record %zu %s\n", what, i,
                   formed ? "is not a true identity" : "is not in stored form");
    }
  }
  return failed;
}

int32_t CheckDatabase(const std::string& path, int32_t power, int32_t& checked) {
  FilePtr file(std::fopen(path.c_str(), "rt"));
  checked = 0;
  if (!file) return 1;
  int32_t failed = 0;
  ParsedSolution parsed;
  std::string failure;
  LineReader reader(file.get());
  while (reader.Next() >= 0) {
    const char* line = reader.LineBuffer();
    const LineVerdict verdict =
        JudgeSolutionLine(line, power, SolutionFile::SeedDatabase, path.c_str(), parsed, failure);
    if (verdict == LineVerdict::Ignored) continue;
    ++checked;
    if (verdict == LineVerdict::Solution &&
        IdentityHolds(parsed.terms, static_cast<int32_t>(parsed.count), power)) {
      continue;
    }
    if (++failed <= 5) std::fprintf(stderr, "DATABASE.TXT: bad line %s\n", line);
  }
  return failed;
}

void Describe(const std::vector<Entry>& entries, int32_t power) {
  int64_t terms = 0;
  int64_t powers = 0;
  size_t shortest = entries.empty() ? 0 : entries[0].size();
  size_t longest = 0;
  int64_t highTerms = 0;
  int64_t hashedTerms = 0;
  int32_t largestBase = 0;
  std::vector<int32_t> recordsWithBase;
  for (const Entry& entry : entries) {
    terms += static_cast<int64_t>(entry.size());
    shortest = std::min(shortest, entry.size());
    longest = std::max(longest, entry.size());
    for (const Term& term : entry) {
      powers += std::llabs(term.multiplicity);
      largestBase = std::max(largestBase, term.base);
      if (term.base >= kHighBase) ++highTerms;
      if (term.base >= kDirectBaseLimit) ++hashedTerms;
      if (static_cast<size_t>(term.base) >= recordsWithBase.size()) {
        recordsWithBase.resize(static_cast<size_t>(term.base) + 1, 0);
      }
      ++recordsWithBase[static_cast<size_t>(term.base)];
    }
  }
  int64_t distinct = 0;
  int64_t distinctHigh = 0;
  int64_t distinctHashed = 0;
  int32_t busiest = 0;
  for (size_t base = 0; base < recordsWithBase.size(); ++base) {
    if (recordsWithBase[base] == 0) continue;
    ++distinct;
    if (base >= static_cast<size_t>(kHighBase)) ++distinctHigh;
    if (base >= static_cast<size_t>(kDirectBaseLimit)) ++distinctHashed;
    busiest = std::max(busiest, recordsWithBase[base]);
  }
  // How many others a record shares bases with, over a sample of records.
  std::vector<std::vector<int32_t>> holders(recordsWithBase.size());
  for (size_t r = 0; r < entries.size(); ++r) {
    for (const Term& term : entries[r]) {
      holders[static_cast<size_t>(term.base)].push_back(static_cast<int32_t>(r));
    }
  }
  std::vector<int32_t> shared(entries.size(), 0);
  int64_t sharingOne = 0;
  int64_t sharingFive = 0;
  int64_t sampled = 0;
  for (size_t r = 0; r < entries.size(); r += 20) {
    ++sampled;
    std::vector<int32_t> touched;
    for (const Term& term : entries[r]) {
      for (int32_t other : holders[static_cast<size_t>(term.base)]) {
        if (static_cast<size_t>(other) == r) continue;
        if (shared[static_cast<size_t>(other)]++ == 0) touched.push_back(other);
      }
    }
    for (int32_t other : touched) {
      ++sharingOne;
      if (shared[static_cast<size_t>(other)] >= 5) ++sharingFive;
      shared[static_cast<size_t>(other)] = 0;
    }
  }
  const double records = entries.empty() ? 1.0 : static_cast<double>(entries.size());
  std::printf(
      "  k=%d, %zu records; Terms %.1f on average (%zu to %zu); powers m+n %.1f on average\n",
      power, entries.size(), static_cast<double>(terms) / records, shortest, longest,
      static_cast<double>(powers) / records);
  std::printf("  largest base %d; %" PRId64 " distinct bases, %" PRId64
              " of them from %d on; %.1f%% of the Terms have a base from %d on\n",
              largestBase, distinct, distinctHigh, kHighBase,
              terms > 0 ? 100.0 * static_cast<double>(highTerms) / static_cast<double>(terms) : 0,
              kHighBase);
  std::printf(
      "  records per base: %.1f on average, %.1f for bases from %d on, at most %d\n",
      distinct > 0 ? static_cast<double>(terms) / static_cast<double>(distinct) : 0,
      distinctHigh > 0 ? static_cast<double>(highTerms) / static_cast<double>(distinctHigh) : 0,
      kHighBase, busiest);
  // The store index finds the records of these bases through a hash map
  // rather than an array.
  if (distinctHashed > 0) {
    std::printf("  %" PRId64
                " distinct bases from %d on, in %.1f%% of the Terms, %.1f records each\n",
                distinctHashed, kDirectBaseLimit,
                100.0 * static_cast<double>(hashedTerms) / static_cast<double>(terms),
                static_cast<double>(hashedTerms) / static_cast<double>(distinctHashed));
  }
  std::printf(
      "  a record shares a base with %.0f others, 5 or more bases with %.1f (every 20th record)\n",
      sampled ? static_cast<double>(sharingOne) / sampled : 0,
      sampled ? static_cast<double>(sharingFive) / sampled : 0);
}

void PrintFile(const std::filesystem::path& path) {
  const std::string bytes = Slurp(path.string());
  std::printf("%s: %zu bytes, digest %016" PRIx64 "\n", path.string().c_str(), bytes.size(),
              Fnv1a(bytes));
}

}  // namespace quorvex::bench
