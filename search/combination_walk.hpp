#pragma once

// The shortening of relations, the shortening against the store and the
// cross-reduction add one partner to a record again and again for as long as
// that helps. Step by step, a record with multiplicities near 2^31 would keep
// them busy for hours; a walk takes the whole multiple at once, with the same
// end and the same evaluations on the way (so the same result-log lines).
#include <cstdint>
#include <functional>

#include "store/solution_record.hpp"

namespace quorvex {

// What must fall strictly at every step.
enum class WalkMeasure {
  SmallerSide,  // min(P, N) of a relation row; a row of measure 0 is never taken
  Total,        // P + N of a relation row; likewise
  Size,         // m + n of a record
  Score,        // m * weight + n of a record
};

// The points x + j * d, j = 0, 1, 2, ..., of one walk: x is the start and d
// the partner times the direction, entry by entry in the order in which
// CombineTerms pairs the Terms of the two (rows: column by column).
struct WalkLine {
  static constexpr int32_t kMaxEntries = 2 * kMaxTerms;
  int32_t count;
  // A base twice in one list: CombineTerms pairs equal bases by their place,
  // and a Term that vanishes changes the pairing of the next step. The line
  // then holds only up to the first step at which an entry is 0.
  bool repeatedBases;
  int32_t base[kMaxEntries];
  int64_t x[kMaxEntries];
  int64_t d[kMaxEntries];
};

void LineOfRecords(const SolutionRecord& start, const SolutionRecord& partner, int32_t direction,
                   WalkLine& line);
void LineOfRows(const int32_t* start, const int32_t* partner, int32_t direction, int32_t columns,
                WalkLine& line);

// The record at step j, its Terms in merge order and not oriented; the row at step j.
void RecordAt(const WalkLine& line, int64_t j, SolutionRecord& out);
void RowAt(const WalkLine& line, int64_t j, int32_t* row);

struct WalkEnd {
  int64_t steps;  // the last step taken, 0 for none
  bool stopped;   // a stop cut the walk short
};

// How far the one-step loops go along the line: a step is taken while its
// measure falls strictly, each entry and each side fits 32 bits, and, for a
// record, it has 1 to 199 Terms (for a row: its measure is not 0). For every
// step taken whose counts would lower the best-size table at that moment,
// `evaluate` is called with the step, in order; it returns false to stop.
WalkEnd Walk(const WalkLine& line, WalkMeasure measure, int64_t weight,
             const std::function<bool(int64_t step)>& evaluate);

// Whether the loops walk (with the store's quick answers) or take one step at
// a time (with its exhaustive ones, the plain definition the walks are held to).
bool WalksTaken();

// Walks `record` along `partner` as the loops of the store do after a first
// step: the difference when it is taken, else the sum. Every step taken is
// evaluated as the loop would evaluate it (in `scratch`); `record` ends as the
// last step taken, oriented. Returns the steps taken, or -1 on a stop.
int64_t WalkRecord(SolutionRecord& record, const SolutionRecord& partner, WalkMeasure measure,
                   int64_t weight, SolutionRecord& scratch);

}  // namespace quorvex
