#include "reference_store_work.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "control/fatal_error.hpp"
#include "control/keyboard.hpp"
#include "control/parameters.hpp"
#include "control/run_state.hpp"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/relation_shortening.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/result_log.hpp"
#include "store/solution_store.hpp"

namespace quorvex::reference {

namespace {

bool SameSolution(const SolutionRecord& a, const SolutionRecord& b) {
  if (a.signature != b.signature || a.leftCount != b.leftCount || a.rightCount != b.rightCount ||
      a.termCount != b.termCount) {
    return false;
  }
  for (int32_t i = 0; i < a.termCount; ++i) {
    if (a.terms[i].base != b.terms[i].base || a.terms[i].multiplicity != b.terms[i].multiplicity) {
      return false;
    }
  }
  return true;
}

bool HasNonZeroTerm(const SolutionRecord& record) {
  if (record.termCount < 1 || record.termCount > kMaxTerms) return false;
  for (int32_t i = 0; i < record.termCount; ++i) {
    if (record.terms[i].multiplicity != 0) return true;
  }
  return false;
}

int64_t Size(const SolutionRecord& record) {
  return static_cast<int64_t>(record.leftCount) + record.rightCount;
}

double ScoreValue(const SolutionRecord& record, float weight) {
  return static_cast<double>(record.leftCount) * static_cast<double>(weight) +
         static_cast<double>(record.rightCount);
}

bool AcceptIfBetter(SolutionRecord& scratch, SolutionRecord& working, float weight, float& score) {
  EvaluateCandidate(scratch);
  double value = ScoreValue(scratch, weight);
  if (!(value < static_cast<double>(score))) return false;
  score = static_cast<float>(value);
  working = scratch;
  return true;
}

bool ImproveRecord(int32_t self, SolutionRecord& working, float weight, float& score) {
  SolutionRecord scratch;
  bool recordImproved = false;
  bool sweepImproved = true;
  while (sweepImproved) {
    sweepImproved = false;
    for (int32_t position = 0; position < kStoreSlots; ++position) {
      int32_t f = gCross.SlotPermutation[position];
      if (f == self) continue;
      const SolutionRecord& partner = gStore.slots[f];
      if (partner.termCount == 0) continue;
      for (;;) {
        int32_t difference = CombineTerms(working, partner, -1, scratch);
        if (difference == 0) break;
        if (difference < kMaxTerms && AcceptIfBetter(scratch, working, weight, score)) {
          sweepImproved = recordImproved = true;
          continue;
        }
        int32_t sum = CombineTerms(working, partner, +1, scratch);
        if (sum == 0 || sum >= kMaxTerms) break;
        if (AcceptIfBetter(scratch, working, weight, score)) {
          sweepImproved = recordImproved = true;
          continue;
        }
        break;
      }
    }
  }
  return recordImproved;
}

void WriteStatistics(int32_t w) {
  float sum = 0.0f;
  int64_t lowest = 1000000;
  int64_t highest = 0;
  for (SolutionRecord* record = gStore.inUseHead; record != nullptr; record = record->next) {
    int64_t t = static_cast<int64_t>(record->leftCount) + record->rightCount;
    sum += static_cast<float>(t);
    if (t < lowest) lowest = t;
    if (t > highest) highest = t;
  }
  float average = gStore.count > 0 ? sum / static_cast<float>(gStore.count) : 0.0f;
  char line[160];
  std::snprintf(line, sizeof line,
                "Weight %d, pass %d: average terms %f (from %" PRId64 " to %" PRId64 ")\n", w,
                gRun.PassCounter, static_cast<double>(average), lowest, highest);
  std::fputs(line, stdout);
  std::fflush(stdout);
  if (std::FILE* stats = std::fopen(kStatsFile, "at")) {
    std::fputs(line, stats);
    std::fclose(stats);
  }
}

void CrossReduceAtWeight(int32_t w) {
  gRun.CurrentWeight = w;
  int32_t* permutation = gCross.SlotPermutation;
  for (int32_t i = 0; i < kStoreSlots; ++i) permutation[i] = i;
  for (int32_t j = kStoreSlots - 1; j >= 1; --j) {
    int32_t x = static_cast<int32_t>(static_cast<int64_t>(j) * Rand() / 32767);
    int32_t held = permutation[j];
    permutation[j] = permutation[x];
    permutation[x] = held;
  }
  gRun.PassCounter = 0;
  const float weight = static_cast<float>(w);
  for (;;) {
    bool passImproved = false;
    int32_t visited = 0;
    for (int32_t position = 0; position < kStoreSlots; ++position) {
      int32_t e = permutation[position];
      SolutionRecord& slot = gStore.slots[e];
      if (slot.termCount == 0) continue;
      ++visited;
      if (visited % 10 == 0) {
        std::printf("%d(%d): %d/%d    \r", w, gRun.PassCounter + 1, visited, gStore.count);
        std::fflush(stdout);
      }
      PollEscapeKey();
      if (gRun.StopRequested) return;
      SolutionRecord working = slot;
      float score = static_cast<float>(ScoreValue(working, weight));
      if (ImproveRecord(e, working, weight, score)) {
        passImproved = true;
        reference::InsertRecord(working, &slot, InsertReplace);
      }
    }
    ++gRun.PassCounter;
    WriteStatistics(w);
    if (!passImproved || gRun.PassCounter >= gParams.NEMBPASS) return;
  }
}

}  // namespace

bool IsStored(const SolutionRecord& record) {
  for (const SolutionRecord* r = gStore.inUseHead; r != nullptr; r = r->next) {
    if (SameSolution(*r, record)) return true;
  }
  return false;
}

SolutionRecord* ChooseVictim(const SolutionRecord& record) {
  float t = static_cast<float>(RecordNote(record.leftCount, record.rightCount));
  SolutionRecord* victim = nullptr;
  for (SolutionRecord* r = gStore.inUseHead; r != nullptr; r = r->next) {
    if (r->termCount == 0) FatalError("Internal bug 1\n");
    const double note = RecordNote(r->leftCount, r->rightCount);
    if (note <= static_cast<double>(t)) {
      victim = r;
      t = static_cast<float>(note);
    }
  }
  return victim;
}

void InsertRecord(SolutionRecord& record, SolutionRecord* target, int32_t mode) {
  if (!HasNonZeroTerm(record)) {
    if (mode == InsertReplace) RemoveRecord(target);
    return;
  }
  Canonicalize(record);
  const int32_t m = record.leftCount;
  const int32_t n = record.rightCount;
  if (m < 1 || m >= kTableSize || IsStored(record)) {
    if (mode == InsertReplace) RemoveRecord(target);
    return;
  }
  if (n < gBest.BestRightTable[m]) {
    if (mode != InsertQuiet) LogSolution(record);
    LowerBestRight(m, n);
  }
  if (mode == InsertReplace) {
    ReplaceRecord(record, target);
  } else if (gStore.count < kStoreSlots) {
    AddRecord(record);
  } else if (SolutionRecord* victim = reference::ChooseVictim(record)) {
    ReplaceRecord(record, victim);
  }
}

bool ShortenAgainstStore() {
  SolutionRecord& candidate = gHarvest.HarvestCandidate;
  SolutionRecord scratch;
  for (int32_t s = 0; s < kStoreSlots; ++s) {
    const SolutionRecord& stored = gStore.slots[s];
    if (stored.termCount == 0) continue;
    for (;;) {
      int32_t difference = CombineTerms(candidate, stored, -1, scratch);
      if (difference == 0) return true;
      if (difference < kMaxTerms) {
        EvaluateCandidate(scratch);
        if (Size(scratch) < Size(candidate)) {
          candidate = scratch;
          continue;
        }
      }
      int32_t sum = CombineTerms(candidate, stored, +1, scratch);
      if (sum == 0) return true;
      if (sum >= kMaxTerms) break;
      EvaluateCandidate(scratch);
      if (Size(scratch) < Size(candidate)) {
        candidate = scratch;
        continue;
      }
      break;
    }
  }
  reference::InsertRecord(candidate, nullptr, InsertLogged);
  return true;
}

namespace {

enum class Measure { SmallerSide, Total };

int64_t TrialMeasure(const int32_t* work, const int32_t* partner, int32_t sign, int32_t n,
                     Measure measure, int32_t* trial) {
  int64_t positive = 0;
  int64_t negative = 0;
  for (int32_t c = 0; c < n; ++c) {
    int64_t v = static_cast<int64_t>(work[c]) + sign * static_cast<int64_t>(partner[c]);
    if (v < INT32_MIN || v > INT32_MAX) return -1;
    trial[c] = static_cast<int32_t>(v);
    (v > 0 ? positive : negative) += v > 0 ? v : -v;
  }
  if (positive > INT32_MAX || negative > INT32_MAX) return -1;
  if (measure == Measure::Total) return positive + negative;
  return positive < negative ? positive : negative;
}

int32_t ShortenPass(int32_t relationCount, int32_t n, Measure measure, int32_t rows) {
  int32_t work[kMaxTerms];
  int32_t trial[kMaxTerms];
  for (int32_t t = 0; t < relationCount; ++t) {
    std::memcpy(work, gSearch.RelationTable[t], sizeof(int32_t) * n);
    int64_t positive = 0;
    int64_t negative = 0;
    for (int32_t c = 0; c < n; ++c)
      (work[c] > 0 ? positive : negative) += std::abs(int64_t{work[c]});
    int64_t best = measure == Measure::Total ? positive + negative : std::min(positive, negative);
    bool changed = false;
    bool improving = true;
    while (improving) {
      improving = false;
      for (int32_t u = 0; u < relationCount; ++u) {
        if (u == t) continue;
        for (int32_t sign : {+1, -1}) {
          for (;;) {
            int64_t m = TrialMeasure(work, gSearch.RelationTable[u], sign, n, measure, trial);
            if (m <= 0 || m >= best) break;
            std::memcpy(work, trial, sizeof(int32_t) * n);
            best = m;
            changed = improving = true;
          }
        }
      }
    }
    if (changed) {
      if (rows >= kRelationRows) FatalError("Reduced table too small\n");
      std::memcpy(gSearch.RelationTable[rows++], work, sizeof(int32_t) * n);
    }
  }
  return rows;
}

}  // namespace

int32_t ShortenRelations(int32_t relationCount, int32_t workTerms) {
  int32_t rows = ShortenPass(relationCount, workTerms, Measure::SmallerSide, relationCount);
  return ShortenPass(relationCount, workTerms, Measure::Total, rows);
}

void CrossReductionPass() {
  if (gStore.count == 0) return;
  for (int32_t w = gParams.WEIGHT; w != 0; w /= 2) {
    CrossReduceAtWeight(w);
    if (gRun.StopRequested) return;
  }
}

}  // namespace quorvex::reference
