#pragma once

// Shared by the fuzz targets. The loaders read fixed file names in the current
// folder, so every target works in a private folder of its own, emptied before
// each input. The engine ends the process on a refused file; here that exit
// becomes an exception, so a clean refusal is an ordinary outcome and only a
// crash, a sanitizer report or a broken property (Require) is a finding.

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "control/fatal_error.hpp"
#include "control/line_reader.hpp"
#include "control/parameters.hpp"
#include "control/run_state.hpp"
#include "store/best_right_table.hpp"
#include "store/checkpoint.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"

namespace quorvex::fuzz {

struct EngineExit {
  int status;
};

[[noreturn]] inline void ThrowExit(int status) {
  throw EngineExit{status};
}

// Stops the fuzzer with the property that failed; libFuzzer keeps the input.
inline void Require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", property);
  std::abort();
}

inline std::string& PrivateFolder() {
  static std::string folder;
  return folder;
}

inline void RemoveFolderContents() {
  DIR* dir = opendir(".");
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  for (const std::string& name : names) unlink(name.c_str());
}

inline void LeavePrivateFolder() {
  if (PrivateFolder().empty() || chdir(PrivateFolder().c_str()) != 0) return;
  RemoveFolderContents();
  if (chdir("/") == 0) rmdir(PrivateFolder().c_str());
}

// Once per process: a fresh folder (under $TMPDIR, else /dev/shm, where the
// checkpoint's fsync costs nothing), the engine's output to /dev/null and its
// exits turned into EngineExit.
inline void EnterPrivateFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp != nullptr ? tmp : (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
  std::string pattern = base + "/quorvex-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) {
    std::perror("private folder");
    std::exit(1);
  }
  PrivateFolder() = pattern;
  std::atexit(LeavePrivateFolder);
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::exit(1);
  gExit.hook = ThrowExit;
}

// Before each input: no file left from the last one, every global as a new
// process has it.
inline void ResetForInput() {
  RemoveFolderContents();
  gParams = Parameters{};
  gRun.StopRequested = 0;
  gRun.CurrentPower = 0;
  gRun.CurrentWeight = 0;
  gRun.PassCounter = 0;
  ResetStore();
  ResetBestRight();
  gCheckpoint = CheckpointState{};
}

inline void WriteInput(const char* name, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(name, "wb");
  Require(file != nullptr, "input file can be created");
  if (size > 0) Require(std::fwrite(data, 1, size, file) == size, "input file written");
  std::fclose(file);
}

// Runs engine code; returns -1 when it returned, else the exit status it chose.
template <typename Fn>
int RunEngine(Fn&& fn) {
  try {
    fn();
    return -1;
  } catch (const EngineExit& exit) {
    return exit.status;
  }
}

using TermList = std::vector<std::pair<int32_t, int32_t>>;

inline TermList SortedTerms(const Term* terms, int32_t count) {
  TermList list;
  for (int32_t i = 0; i < count; ++i) list.emplace_back(terms[i].base, terms[i].multiplicity);
  std::sort(list.begin(), list.end());
  return list;
}

// The slots in use, found by a scan of all 10000: kept out of the coverage
// tracing, which would otherwise cost more than the loading itself.
__attribute__((no_sanitize("coverage"))) inline std::vector<const SolutionRecord*> UsedSlots() {
  std::vector<const SolutionRecord*> used;
  for (const SolutionRecord& r : gStore.slots) {
    if (r.termCount != 0) used.push_back(&r);
  }
  return used;
}

// What every loader must leave in the store, whatever the file held: a
// consistent list, and records in canonical form that the notation writes and
// reads back unchanged.
inline std::vector<TermList> CheckStore(int32_t power) {
  std::vector<TermList> records;
  std::vector<TermList> ordered;
  int32_t listed = 0;
  for (const SolutionRecord* r = gStore.inUseHead; r != nullptr; r = r->next) {
    Require(++listed <= kStoreSlots, "the in-use list ends");
    Require(r->next == nullptr || r->next->prev == r, "the in-use list links both ways");
  }
  const std::vector<const SolutionRecord*> used = UsedSlots();
  for (const SolutionRecord* slot : used) {
    const SolutionRecord& r = *slot;
    Require(r.termCount >= 1 && r.termCount <= kMaxTerms, "1 to 200 Terms");
    int64_t left = 0;
    int64_t right = 0;
    uint32_t all = 0;
    for (int32_t i = 0; i < r.termCount; ++i) {
      const Term& t = r.terms[i];
      Require(t.base >= 1 && t.multiplicity != 0, "base at least 1, multiplicity not 0");
      Require(i == 0 || r.terms[i - 1].base >= t.base, "Terms in descending base order");
      all |= static_cast<uint32_t>(t.multiplicity);
      if (t.multiplicity > 0) left += t.multiplicity;
      if (t.multiplicity < 0) right -= t.multiplicity;
    }
    Require(left == r.leftCount && right == r.rightCount, "m and n are the sides' sums");
    Require(r.leftCount >= 1 && r.leftCount < kTableSize, "m within 1..9999");
    Require(r.leftCount <= r.rightCount, "the smaller side on the left");
    Require((all & 1u) != 0, "no common factor of two");

    // The log line of the record reads back as the same solution.
    const std::string line = FormatSolution(r, power) + " (0,0)";
    Require(line.size() < static_cast<size_t>(kLineLimit), "the line fits the reader");
    std::copy(line.begin(), line.end(), gLine.LineBuffer);
    gLine.LineBuffer[line.size()] = '\0';
    static ParsedSolution parsed;
    const ParseRefusal refusal = TryParseSolutionLine(power, "fuzz", parsed);
    Require(refusal.message.empty() && !parsed.otherPower, "a written line is read");
    Require(parsed.m == r.leftCount && parsed.n == r.rightCount && parsed.count == r.termCount,
            "a written line gives back m, n and the Term count");
    Require(SortedTerms(parsed.terms, parsed.count) == SortedTerms(r.terms, r.termCount),
            "a written line gives back the Terms");
    records.push_back(SortedTerms(r.terms, r.termCount));
    ordered.emplace_back();
    for (int32_t i = 0; i < r.termCount; ++i) {
      ordered.back().emplace_back(r.terms[i].base, r.terms[i].multiplicity);
    }
  }
  Require(static_cast<int32_t>(used.size()) == gStore.count && listed == gStore.count,
          "count, slots and list agree");
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
