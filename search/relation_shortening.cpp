#include "search/relation_shortening.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "base/console.hpp"
#include "base/fatal_error.hpp"
#include "base/run_state.hpp"
#include "search/combination_walk.hpp"
#include "search/search_iteration.hpp"
#include "search/shorten_against_store.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"

namespace quorvex {

thread_local constinit HarvestState gHarvest{};

namespace {

constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();

enum class Measure { SmallerSide, Total };

int64_t MeasureOf(int64_t positive, int64_t negative, Measure measure) {
  if (measure == Measure::Total) return positive + negative;
  return positive < negative ? positive : negative;
}

int64_t RowMeasure(const int32_t* row, int32_t n, Measure measure) {
  int64_t positive = 0;
  int64_t negative = 0;
  for (int32_t c = 0; c < n; ++c) {
    if (row[c] > 0) {
      positive += row[c];
    } else {
      negative -= row[c];
    }
  }
  return MeasureOf(positive, negative, measure);
}

// Builds work + sign * partner in trial and returns its measure, or -1 when an
// entry or a side sum leaves 32 bits: such a row could not be stored or
// counted, so it is never taken.
int64_t TrialMeasure(const int32_t* work, const int32_t* partner, int32_t sign, int32_t n,
                     Measure measure, int32_t* trial) {
  int64_t positive = 0;
  int64_t negative = 0;
  for (int32_t c = 0; c < n; ++c) {
    int64_t v = static_cast<int64_t>(work[c]) + sign * static_cast<int64_t>(partner[c]);
    if (v < kInt32Min || v > kInt32Max) return -1;
    trial[c] = static_cast<int32_t>(v);
    if (v > 0) {
      positive += v;
    } else {
      negative -= v;
    }
  }
  if (positive > kInt32Max || negative > kInt32Max) return -1;
  return MeasureOf(positive, negative, measure);
}

int64_t LargestMagnitude(const int32_t* row, int32_t n) {
  int64_t largest = 0;
  for (int32_t c = 0; c < n; ++c) largest = std::max<int64_t>(largest, std::llabs(row[c]));
  return largest;
}

// TrialMeasure without writing the row, for rows whose largest magnitudes
// add up, times n, to no more than 2^31 - 1: then no entry and no side sum
// can leave 32 bits, and plain 32-bit sums (which the compiler can run in
// vector registers) give the same measure.
template <int32_t kSign>
int64_t QuickMeasure(const int32_t* work, const int32_t* partner, int32_t n, Measure measure) {
  int32_t total = 0;
  int32_t net = 0;
  for (int32_t c = 0; c < n; ++c) {
    const int32_t v = kSign > 0 ? work[c] + partner[c] : work[c] - partner[c];
    total += v < 0 ? -v : v;
    net += v;
  }
  const int64_t positive = (int64_t{total} + net) / 2;
  const int64_t negative = (int64_t{total} - net) / 2;
  return MeasureOf(positive, negative, measure);
}

// One pass of the shortening: every extracted row is improved against the
// extracted rows only; changed rows are appended behind row `rows`. Returns -1
// when a stop cut it short.
int32_t ShortenPass(int32_t relationCount, int32_t n, Measure measure, int32_t rows) {
  int32_t* work = gHarvest.WorkRow;
  int32_t trial[kMaxTerms];
  WalkLine line;
  const WalkMeasure walkMeasure =
      measure == Measure::Total ? WalkMeasure::Total : WalkMeasure::SmallerSide;
  int64_t largest[kRelationRows];
  for (int32_t u = 0; u < relationCount; ++u) {
    largest[u] = LargestMagnitude(gSearch.RelationTable[u], n);
  }
  for (int32_t t = 0; t < relationCount; ++t) {
    std::memcpy(work, gSearch.RelationTable[t], sizeof(int32_t) * n);
    int64_t best = RowMeasure(work, n, measure);
    int64_t workLargest = largest[t];
    bool changed = false;
    bool improving = true;
    while (improving) {
      improving = false;
      for (int32_t u = 0; u < relationCount; ++u) {
        if (u == t) continue;
        if (StopNow()) return -1;
        const int32_t* partner = gSearch.RelationTable[u];
        for (int32_t sign : {+1, -1}) {
          for (;;) {
            int64_t m;
            if ((workLargest + largest[u]) * n <= kInt32Max) {
              m = sign > 0 ? QuickMeasure<+1>(work, partner, n, measure)
                           : QuickMeasure<-1>(work, partner, n, measure);
              if (m <= 0 || m >= best) break;
              TrialMeasure(work, partner, sign, n, measure, trial);
            } else {
              m = TrialMeasure(work, partner, sign, n, measure, trial);
              if (m <= 0 || m >= best) break;
            }
            std::memcpy(work, trial, sizeof(int32_t) * n);
            best = m;
            changed = true;
            improving = true;
            // The further steps with this partner, all at once.
            if (WalksTaken()) {
              LineOfRows(work, partner, sign, n, line);
              const WalkEnd end = Walk(line, walkMeasure, 0, {});
              if (end.stopped) return -1;
              if (end.steps > 0) {
                RowAt(line, end.steps, work);
                best = RowMeasure(work, n, measure);
              }
            }
            workLargest = LargestMagnitude(work, n);
          }
        }
      }
    }
    if (changed) {
      if (rows >= kRelationRows) FatalError("Reduced table too small\n");
      std::memcpy(gSearch.RelationTable[rows], work, sizeof(int32_t) * n);
      ++rows;
    }
  }
  return rows;
}

int64_t Size(const SolutionRecord& record) {
  return static_cast<int64_t>(record.leftCount) + record.rightCount;
}

}  // namespace

int32_t ShortenRelations(int32_t relationCount, int32_t workTerms) {
  if (relationCount < 0 || relationCount > kRelationRows || workTerms < 0 ||
      workTerms > kMaxWorkTerms) {
    FatalError("Internal\n");
  }
  int32_t rows = ShortenPass(relationCount, workTerms, Measure::SmallerSide, relationCount);
  if (rows < 0) return rows;
  return ShortenPass(relationCount, workTerms, Measure::Total, rows);
}

bool HarvestRelations(int32_t rowCount, int32_t workTerms) {
  if (rowCount < 0 || rowCount > kRelationRows || workTerms < 0 || workTerms > kMaxWorkTerms) {
    FatalError("Internal\n");
  }
  SolutionRecord& candidate = gHarvest.HarvestCandidate;
  // 64 bits: each row's sides fit 32 bits, but several rows together may not.
  int64_t harvestSum = 0;
  for (int32_t row = 0; row < rowCount; ++row) {
    const int32_t* values = gSearch.RelationTable[row];
    int32_t count = 0;
    for (int32_t r = 0; r < workTerms; ++r) {
      int32_t col = gSearch.BaseOrder[r];
      int32_t v = values[col];
      if (v != 0) {
        candidate.terms[count].base = gSearch.BasePool[col];
        candidate.terms[count].multiplicity = v;
        ++count;
      }
    }
    candidate.termCount = count;
    EvaluateCandidate(candidate);
    PrintDetail("(%d,%d)", candidate.leftCount, candidate.rightCount);
    FlushConsole();
    harvestSum += Size(candidate);
    if (!ShortenAgainstStore(candidate)) {
      // The pairs printed so far stay on a line of their own.
      PrintDetail("\n");
      return false;
    }
  }
  PrintDetail("\n");
  PrintDetail("Average=%" PRId64 " terms\n", rowCount > 0 ? harvestSum / rowCount : 0);
  return true;
}

}  // namespace quorvex
