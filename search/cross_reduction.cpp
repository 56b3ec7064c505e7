#include "search/cross_reduction.hpp"

#include <cinttypes>
#include <cstdio>

#include "control/fatal_error.hpp"
#include "control/keyboard.hpp"
#include "control/parameters.hpp"
#include "control/run_state.hpp"
#include "search/random.hpp"
#include "search/relation_shortening.hpp"

namespace quorvex {

CrossReductionState gCross;

namespace {

// m * w + n in double with the weight as the single-precision value it was
// converted to once per weight.
double ScoreValue(const SolutionRecord& record, float weight) {
  return static_cast<double>(record.leftCount) * static_cast<double>(weight) +
         static_cast<double>(record.rightCount);
}

void DrawSlotPermutation() {
  int32_t* permutation = gCross.SlotPermutation;
  for (int32_t i = 0; i < kStoreSlots; ++i) permutation[i] = i;
  for (int32_t j = kStoreSlots - 1; j >= 1; --j) {
    int32_t x = static_cast<int32_t>(static_cast<int64_t>(j) * Rand() / 32767);
    int32_t held = permutation[j];
    permutation[j] = permutation[x];
    permutation[x] = held;
  }
}

// Tries `combined` (already built in scratch) as the new working copy: true
// when its score is strictly below the current one, which it then replaces.
bool AcceptIfBetter(SolutionRecord& scratch, SolutionRecord& working, float weight, float& score) {
  EvaluateCandidate(scratch);
  double value = ScoreValue(scratch, weight);
  if (!(value < static_cast<double>(score))) return false;
  score = static_cast<float>(value);
  working = scratch;
  return true;
}

// Improves the working copy against every other stored record until a whole
// sweep brings nothing. Returns true when it improved at all.
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
        if (difference == 0) break;  // equal to the partner: nothing to gain from it
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
    if (record->termCount == 0) FatalError("Internal bug 1\n");
    int64_t t = static_cast<int64_t>(record->leftCount) + record->rightCount;
    sum += static_cast<float>(t);
    if (t < lowest) lowest = t;
    if (t > highest) highest = t;
  }
  // A pass can only empty the store through removals of duplicates, which
  // always leave one record, but the division must not depend on that.
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
  } else {
    // The statistics are a convenience; the search itself goes on without them.
    std::printf("Cannot open %s\n", kStatsFile);
  }
}

}  // namespace

void CrossReductionPass() {
  if (gStore.count == 0) return;
  for (int32_t w = gParams.WEIGHT; w != 0; w /= 2) {
    CrossReduceAtWeight(w);
    if (gRun.StopRequested) return;
  }
}

void CrossReduceAtWeight(int32_t w) {
  gRun.CurrentWeight = w;
  DrawSlotPermutation();
  gRun.PassCounter = 0;
  const float weight = static_cast<float>(w);
  for (;;) {
    bool passImproved = false;
    int32_t visited = 0;
    for (int32_t position = 0; position < kStoreSlots; ++position) {
      int32_t e = gCross.SlotPermutation[position];
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
        InsertRecord(working, &slot, InsertReplace);
      }
    }
    ++gRun.PassCounter;
    WriteStatistics(w);
    if (!passImproved || gRun.PassCounter >= gParams.NEMBPASS) return;
  }
}

}  // namespace quorvex
