#pragma once

// Shared by the fuzz targets, each working in a private folder emptied before
// each input (the loaders read fixed names in the current folder). The engine
// ends the process on a refused file, so a target asks the reporting reader
// (Read*) first and loads only what it accepts: a clean refusal is an ordinary
// outcome; a crash, a sanitizer report or a broken property (Require) is a finding.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "base/line_reader.hpp"
#include "base/run_state.hpp"
#include "run/exported.hpp"
#include "run/parameters.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_line.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"

namespace quorvex::fuzz {

// Stops the fuzzer with the property that failed; libFuzzer keeps the input.
inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

// Once per process: a fresh folder, removed at exit (under $TMPDIR, else
// /dev/shm, where the checkpoint's fsync costs nothing); output to /dev/null.
inline void EnterPrivateFolder() {
  static std::string folder;
  const char* tmp = std::getenv("TMPDIR");
  folder = tmp != nullptr ? tmp : (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  folder += "/quorvex-fuzz-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0 ||
      std::freopen("/dev/null", "w", stdout) == nullptr) {
    std::perror("private folder");
    std::exit(1);
  }
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
}

// Before each input: the input as the only file, the globals as in a new process.
inline void StartWith(const std::string& name, const uint8_t* data, size_t size) {
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    std::filesystem::remove_all(entry.path());
  }
  ResetEngine();
  gParams = DefaultParameters();
  gRun.StopRequested = 0;
  std::ofstream file(name, std::ios::binary);
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  Require(static_cast<bool>(file.flush()), "input file written");
}

inline void Ignore(SolutionRecord&) {}

using TermList = std::vector<std::pair<int32_t, int32_t>>;

inline TermList SortedTerms(const Term* terms, int32_t count) {
  TermList list;
  for (int32_t i = 0; i < count; ++i) list.emplace_back(terms[i].base, terms[i].multiplicity);
  std::sort(list.begin(), list.end());
  return list;
}

// Slots with Terms, by a scan of all 10000: kept out of the coverage tracing,
// which would otherwise cost more than the loading itself.
__attribute__((no_sanitize("coverage"))) inline int32_t UsedSlots() {
  int32_t used = 0;
  for (const SolutionRecord& r : gStore.slots) used += r.termCount != 0 ? 1 : 0;
  return used;
}

// What every loader must leave in the store, whatever the file held: a consistent
// list of canonical records that the notation writes and reads back unchanged.
// Returns the records' sorted Terms, sorted.
inline std::vector<TermList> CheckStore(int32_t power) {
  Require(UsedSlots() == gStore.count, "count and slots agree");
  std::vector<TermList> records, ordered;
  static ParsedSolution parsed;
  int32_t listed = 0;
  for (const SolutionRecord* slot = gStore.inUseHead; slot != nullptr; slot = slot->next) {
    const SolutionRecord& r = *slot;
    Require(++listed <= gStore.count, "the in-use list holds count records");
    Require(r.next == nullptr || r.next->prev == slot, "the in-use list links both ways");
    Require(r.termCount >= 1 && r.termCount <= kMaxTerms, "1 to 200 Terms");
    int64_t left = 0, right = 0;
    uint32_t all = 0;
    ordered.emplace_back();
    for (int32_t i = 0; i < r.termCount; ++i) {
      const Term& t = r.terms[i];
      Require(t.base >= 1 && t.multiplicity != 0, "base at least 1, multiplicity not 0");
      Require(i == 0 || r.terms[i - 1].base >= t.base, "Terms in descending base order");
      all |= static_cast<uint32_t>(t.multiplicity);
      if (t.multiplicity > 0) left += t.multiplicity;
      if (t.multiplicity < 0) right -= t.multiplicity;
      ordered.back().emplace_back(t.base, t.multiplicity);
    }
    Require(left == r.leftCount && right == r.rightCount, "m and n are the sides' sums");
    Require(r.leftCount >= 1 && r.leftCount < kTableSize, "m within 1..9999");
    Require(r.leftCount <= r.rightCount, "the smaller side on the left");
    Require((all & 1u) != 0, "no common factor of two");

    // The log line of the record reads back as the same solution.
    const std::string line = FormatSolution(r, power) + " (0,0)";
    Require(line.size() < static_cast<size_t>(kLineLimit), "the line fits the reader");
    Require(TryParseSolutionLine(line.c_str(), power, "fuzz", parsed).message.empty() &&
                !parsed.otherPower,
            "a written line is read");
    Require(parsed.m == r.leftCount && parsed.n == r.rightCount && parsed.count == r.termCount,
            "a written line gives back m, n and the Term count");
    records.push_back(SortedTerms(r.terms, r.termCount));
    Require(SortedTerms(parsed.terms, r.termCount) == records.back(),
            "a written line gives back the Terms");
  }
  Require(listed == gStore.count, "the in-use list holds count records");
  // The duplicate check compares Terms in their order. A line may repeat a
  // base, and the sort leaves equal bases in no set order, so two spellings
  // of one solution can both be stored; only the same Terms in the same order
  // may not.
  std::sort(ordered.begin(), ordered.end());
  Require(std::adjacent_find(ordered.begin(), ordered.end()) == ordered.end(), "no duplicates");
  std::sort(records.begin(), records.end());
  return records;
}

}  // namespace quorvex::fuzz

// Each fuzz target is a program of its own that includes this header once.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  quorvex::fuzz::EnterPrivateFolder();
  return 0;
}
