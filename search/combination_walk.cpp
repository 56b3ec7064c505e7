#include "search/combination_walk.hpp"

#include <algorithm>

#include "base/run_state.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "store/store_scan.hpp"

namespace quorvex {

namespace {

// Products of a count (up to about 2^40 inside a piece) and a weight (up to
// 2^31) leave 64 bits.
__extension__ typedef __int128 Wide;

constexpr int64_t kMost = INT32_MAX;
constexpr int64_t kEndless = INT64_MAX / 4;

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) == (b < 0)) ? q + 1 : q;
}

bool HasRepeatedBases(const SolutionRecord& record) {
  for (int32_t i = 1; i < record.termCount; ++i) {
    if (record.terms[i].base >= record.terms[i - 1].base) return true;
  }
  return false;
}

void AddEntry(WalkLine& line, int32_t base, int64_t x, int64_t d) {
  line.base[line.count] = base;
  line.x[line.count] = x;
  line.d[line.count] = d;
  ++line.count;
}

// The first step at which an entry leaves 32 bits: no step from there on can
// be taken, and every entry before it is small enough for plain 64-bit sums.
int64_t FirstBeyond32Bits(const WalkLine& line) {
  int64_t first = kEndless;
  for (int32_t e = 0; e < line.count; ++e) {
    const int64_t x = line.x[e];
    const int64_t d = line.d[e];
    if (d > 0) first = std::min(first, FloorDiv(kMost - x, d) + 1);
    if (d < 0) first = std::min(first, FloorDiv(x + kMost, -d) + 1);
  }
  return std::max<int64_t>(first, 1);
}

// The first step from 1 on at which an entry is 0.
int64_t FirstVanishing(const WalkLine& line) {
  int64_t first = kEndless;
  for (int32_t e = 0; e < line.count; ++e) {
    const int64_t d = line.d[e];
    if (d == 0 || line.x[e] % d != 0) continue;
    const int64_t at = -line.x[e] / d;
    if (at >= 1) first = std::min(first, at);
  }
  return first;
}

// Steps j..last, along which every entry keeps its sign (or stays 0) and the
// same side stays the smaller: P, N, min and max change by the same amount
// at every step, and the number of Terms does not change.
struct Piece {
  int64_t last;
  int32_t terms;
  int64_t positive;  // P and N at step j
  int64_t negative;
  int64_t dPositive;  // their change per step
  int64_t dNegative;
  bool smallerIsPositive;

  int64_t Smaller() const { return smallerIsPositive ? positive : negative; }
  int64_t Larger() const { return smallerIsPositive ? negative : positive; }
  int64_t DSmaller() const { return smallerIsPositive ? dPositive : dNegative; }
  int64_t DLarger() const { return smallerIsPositive ? dNegative : dPositive; }
};

Piece PieceAt(const WalkLine& line, int64_t j, int64_t limit) {
  Piece p{limit, 0, 0, 0, 0, 0, true};
  for (int32_t e = 0; e < line.count; ++e) {
    const int64_t d = line.d[e];
    const int64_t v = line.x[e] + j * d;
    if (v > 0) {
      p.positive += v;
      p.dPositive += d;
      ++p.terms;
    } else if (v < 0) {
      p.negative -= v;
      p.dNegative -= d;
      ++p.terms;
    }
    if (d == 0) continue;
    if (v == 0) {
      p.last = j;
    } else if (v > 0 && d < 0) {
      p.last = std::min(p.last, j + (v - 1) / -d);
    } else if (v < 0 && d > 0) {
      p.last = std::min(p.last, j + (-v - 1) / d);
    }
  }
  // P - N changes by a fixed amount per step, so it changes sign once at most.
  const int64_t gap = p.positive - p.negative;
  const int64_t slope = p.dPositive - p.dNegative;
  p.smallerIsPositive = gap < 0 || (gap == 0 && slope <= 0);
  if (p.smallerIsPositive && slope > 0) p.last = std::min(p.last, j + -gap / slope);
  if (!p.smallerIsPositive && slope < 0) p.last = std::min(p.last, j + gap / -slope);
  p.last = std::max(p.last, j);
  return p;
}

struct Linear {
  Wide at;     // at the piece's first step
  Wide slope;  // per step
};

Linear MeasureOf(int64_t smaller, int64_t larger, int64_t dSmaller, int64_t dLarger,
                 WalkMeasure measure, int64_t weight) {
  switch (measure) {
    case WalkMeasure::SmallerSide:
      return {smaller, dSmaller};
    case WalkMeasure::Total:
    case WalkMeasure::Size:
      return {Wide{smaller} + larger, Wide{dSmaller} + dLarger};
    case WalkMeasure::Score:
      return {Wide{smaller} * weight + larger, Wide{dSmaller} * weight + dLarger};
  }
  return {0, 0};
}

// Narrows t in [lo, hi] to the steps at which a + t * slope lies in [least, most].
void Narrow(int64_t& lo, int64_t& hi, int64_t a, int64_t slope, int64_t least, int64_t most) {
  if (slope > 0) {
    lo = std::max(lo, CeilDiv(least - a, slope));
    hi = std::min(hi, FloorDiv(most - a, slope));
  } else if (slope < 0) {
    lo = std::max(lo, CeilDiv(a - most, -slope));
    hi = std::min(hi, FloorDiv(a - least, -slope));
  } else if (a < least || a > most) {
    hi = lo - 1;
  }
}

// Evaluates, in order, the steps j..j+steps of a piece that lower the table.
// Only they have an effect: the others would leave both the table and the
// log as they are. Returns false on a stop.
bool EvaluateLowering(const Piece& p, int64_t j, int64_t steps,
                      const std::function<bool(int64_t)>& evaluate) {
  const int64_t m0 = p.Smaller();
  const int64_t n0 = p.Larger();
  const int64_t dm = p.DSmaller();
  const int64_t dn = p.DLarger();
  if (dm == 0) {
    if (m0 < 1 || m0 >= kTableSize) return true;
    // One left count: after a step lowers its entry, the next one that is
    // shorter lowers it again; between them, skip straight to the next.
    for (int64_t t = 0; t <= steps;) {
      const int64_t n = n0 + t * dn;
      const int64_t bound = gBest.BestRightTable[m0];
      if (n < bound) {
        if (!evaluate(j + t)) return false;
        ++t;
      } else if (dn < 0) {
        t += (n - bound) / -dn + 1;
      } else {
        break;
      }
    }
    return true;
  }
  // The left count moves at every step: at most 9999 of them have one the
  // table holds, and only those with n below 1000000 can beat its entry.
  int64_t lo = 0;
  int64_t hi = steps;
  Narrow(lo, hi, m0, dm, 1, kTableSize - 1);
  Narrow(lo, hi, n0, dn, 0, kUnknownRight - 1);
  for (int64_t t = lo; t <= hi; ++t) {
    if ((t - lo) % 4096 == 4095 && StopNow()) return false;
    const int64_t m = m0 + t * dm;
    const int64_t n = n0 + t * dn;
    if (BestRightImproves(static_cast<int32_t>(m), static_cast<int32_t>(n)) && !evaluate(j + t)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool WalksTaken() {
  return GetStoreQueries() == StoreQueries::Quick;
}

void LineOfRecords(const SolutionRecord& start, const SolutionRecord& partner, int32_t direction,
                   WalkLine& line) {
  line.count = 0;
  line.repeatedBases = HasRepeatedBases(start) || HasRepeatedBases(partner);
  const Term* a = start.terms;
  const Term* b = partner.terms;
  const int32_t na = std::clamp(start.termCount, 0, kMaxTerms);
  const int32_t nb = std::clamp(partner.termCount, 0, kMaxTerms);
  int32_t ia = 0;
  int32_t ib = 0;
  // CombineTerms's own pairing, equal bases by their place.
  while (ia < na || ib < nb) {
    if (ia >= na || (ib < nb && b[ib].base > a[ia].base)) {
      AddEntry(line, b[ib].base, 0, int64_t{direction} * b[ib].multiplicity);
      ++ib;
    } else if (ib >= nb || a[ia].base > b[ib].base) {
      AddEntry(line, a[ia].base, a[ia].multiplicity, 0);
      ++ia;
    } else {
      AddEntry(line, a[ia].base, a[ia].multiplicity, int64_t{direction} * b[ib].multiplicity);
      ++ia;
      ++ib;
    }
  }
}

void LineOfRows(const int32_t* start, const int32_t* partner, int32_t direction, int32_t columns,
                WalkLine& line) {
  line.count = 0;
  line.repeatedBases = false;
  for (int32_t c = 0; c < columns; ++c) {
    AddEntry(line, 0, start[c], int64_t{direction} * partner[c]);
  }
}

void RecordAt(const WalkLine& line, int64_t j, SolutionRecord& out) {
  int32_t count = 0;
  for (int32_t e = 0; e < line.count && count < kMaxTerms; ++e) {
    const int64_t v = line.x[e] + j * line.d[e];
    if (v != 0) out.terms[count++] = Term{line.base[e], static_cast<int32_t>(v)};
  }
  out.termCount = count;
}

void RowAt(const WalkLine& line, int64_t j, int32_t* row) {
  for (int32_t e = 0; e < line.count; ++e) {
    row[e] = static_cast<int32_t>(line.x[e] + j * line.d[e]);
  }
}

WalkEnd Walk(const WalkLine& line, WalkMeasure measure, int64_t weight,
             const std::function<bool(int64_t step)>& evaluate) {
  const bool record = measure == WalkMeasure::Size || measure == WalkMeasure::Score;
  int64_t limit = FirstBeyond32Bits(line) - 1;
  if (line.repeatedBases) limit = std::min(limit, FirstVanishing(line));
  const Piece start = PieceAt(line, 0, 0);
  Wide previous = MeasureOf(start.Smaller(), start.Larger(), 0, 0, measure, weight).at;
  int64_t taken = 0;
  while (taken < limit) {
    if (StopNow()) return {taken, true};
    const int64_t j = taken + 1;
    const Piece p = PieceAt(line, j, limit);
    if (record && (p.terms == 0 || p.terms >= kMaxTerms)) break;
    if (p.positive > kMost || p.negative > kMost) break;
    const Linear mu =
        MeasureOf(p.Smaller(), p.Larger(), p.DSmaller(), p.DLarger(), measure, weight);
    if (!(mu.at < previous) || (!record && mu.at == 0)) break;
    // Within the piece the measure changes by the same amount at every step:
    // the steps after the first are all taken while it falls, the sides fit,
    // and (rows) it stays above 0.
    int64_t further = 0;
    if (mu.slope < 0) {
      further = p.last - j;
      if (p.dPositive > 0) further = std::min(further, (kMost - p.positive) / p.dPositive);
      if (p.dNegative > 0) further = std::min(further, (kMost - p.negative) / p.dNegative);
      if (!record) further = static_cast<int64_t>(std::min<Wide>(further, (mu.at - 1) / -mu.slope));
    }
    if (evaluate && !EvaluateLowering(p, j, further, evaluate)) return {taken, true};
    taken = j + further;
    previous = mu.at + mu.slope * further;
    if (taken < p.last) break;
  }
  return {taken, false};
}

int64_t WalkRecord(SolutionRecord& record, const SolutionRecord& partner, WalkMeasure measure,
                   int64_t weight, SolutionRecord& scratch) {
  if (!WalksTaken()) return 0;
  WalkLine line;
  // After a step, the other direction leads back to where the walk came
  // from, which is never taken.
  for (int32_t direction : {-1, +1}) {
    LineOfRecords(record, partner, direction, line);
    const WalkEnd end = Walk(line, measure, weight, [&](int64_t step) {
      RecordAt(line, step, scratch);
      EvaluateCandidate(scratch);
      return !StopNow();
    });
    if (end.stopped) return -1;
    if (end.steps > 0) {
      RecordAt(line, end.steps, record);
      OrientRecord(record);
      return end.steps;
    }
  }
  return 0;
}

}  // namespace quorvex
