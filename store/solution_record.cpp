#include "store/solution_record.hpp"

#include <cstdint>
#include <utility>

#include "base/fatal_error.hpp"

namespace quorvex {

namespace {

// Two's-complement negation without the undefined case of INT32_MIN, which
// the readers and the search never let through but must not crash us here.
int32_t Negated(int32_t value) {
  return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
}

// Callers keep sides within 32 bits; a saturated count keeps a record that
// slipped through from wrapping into the other side.
int32_t Saturated(int64_t value) {
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

int32_t UsedTerms(const SolutionRecord& record) {
  if (record.termCount < 0) return 0;
  return record.termCount > kMaxTerms ? kMaxTerms : record.termCount;
}

// The side with fewer powers goes on the left; a tie keeps the sides.
void Orient(SolutionRecord& record, int32_t& m, int32_t& n) {
  if (m <= n) return;
  std::swap(m, n);
  const int32_t used = UsedTerms(record);
  for (int32_t i = 0; i < used; ++i) {
    record.terms[i].multiplicity = Negated(record.terms[i].multiplicity);
  }
}

}  // namespace

SideCounts CountSides(const Term* terms, int32_t count) {
  SideCounts sides{0, 0};
  for (int32_t i = 0; i < count; ++i) {
    const int64_t multiplicity = terms[i].multiplicity;
    if (multiplicity > 0) {
      sides.positive += multiplicity;
    } else {
      sides.negative -= multiplicity;
    }
  }
  return sides;
}

bool SidesFit(const SideCounts& sides) {
  return sides.positive <= INT32_MAX && sides.negative <= INT32_MAX;
}

void OrientRecord(SolutionRecord& record) {
  const SideCounts sides = CountSides(record.terms, UsedTerms(record));
  int32_t left = Saturated(sides.positive);
  int32_t right = Saturated(sides.negative);
  Orient(record, left, right);
  record.leftCount = left;
  record.rightCount = right;
}

void Canonicalize(SolutionRecord& record) {
  int32_t m = record.leftCount;
  int32_t n = record.rightCount;
  Orient(record, m, n);
  const int32_t used = UsedTerms(record);
  for (;;) {
    uint32_t all = 0;
    for (int32_t i = 0; i < used; ++i) all |= static_cast<uint32_t>(record.terms[i].multiplicity);
    if ((all & 1u) != 0) break;
    // Without a non-zero multiplicity the halving would never end.
    if (all == 0) FatalError("Internal error\n");
    if ((m & 1) != 0 || (n & 1) != 0) FatalError("Internal error\n");
    m /= 2;
    n /= 2;
    for (int32_t i = 0; i < used; ++i) record.terms[i].multiplicity /= 2;
  }
  uint32_t signature = 0;
  for (int32_t i = 0; i < used; ++i) {
    signature ^= static_cast<uint32_t>(record.terms[i].multiplicity);
    signature = (signature >> 1) | (signature << 31);
  }
  record.signature = signature;
  record.leftCount = m;
  record.rightCount = n;
}

void SortTerms(SolutionRecord& record) {
  const int32_t used = UsedTerms(record);
  // Already in order, as every saved record is: the sort below would swap
  // nothing, equal bases included, and its quadratic walk is a load's cost.
  bool ordered = true;
  for (int32_t i = 0; ordered && i + 1 < used; ++i) {
    ordered = record.terms[i].base >= record.terms[i + 1].base;
  }
  if (ordered) return;
  for (int32_t i = 0; i + 1 < used; ++i) {
    int32_t largest = i;
    for (int32_t j = i + 1; j < used; ++j) {
      if (record.terms[j].base > record.terms[largest].base) largest = j;
    }
    if (largest != i) std::swap(record.terms[i], record.terms[largest]);
  }
}

int32_t CombineTerms(const SolutionRecord& a, const SolutionRecord& b, int32_t sign,
                     SolutionRecord& out) {
  int32_t ia = 0;
  int32_t ib = 0;
  int32_t written = 0;
  int64_t positive = 0;
  int64_t negative = 0;
  const int32_t na = a.termCount;
  const int32_t nb = b.termCount;
  while ((ia < na || ib < nb) && written < kMaxTerms) {
    int32_t base;
    int64_t v;
    if (ia >= na || (ib < nb && b.terms[ib].base > a.terms[ia].base)) {
      base = b.terms[ib].base;
      v = static_cast<int64_t>(sign) * b.terms[ib].multiplicity;
      ++ib;
    } else if (ib >= nb || a.terms[ia].base > b.terms[ib].base) {
      base = a.terms[ia].base;
      v = a.terms[ia].multiplicity;
      ++ia;
    } else {
      base = a.terms[ia].base;
      v = static_cast<int64_t>(a.terms[ia].multiplicity) +
          static_cast<int64_t>(sign) * b.terms[ib].multiplicity;
      ++ia;
      ++ib;
      if (v == 0) continue;
    }
    // Beyond 32 bits in one multiplicity the side is beyond them too.
    if (v < INT32_MIN || v > INT32_MAX) {
      out.termCount = written;
      return kMaxTerms;
    }
    out.terms[written].base = base;
    out.terms[written].multiplicity = static_cast<int32_t>(v);
    ++written;
    if (v > 0) {
      positive += v;
    } else {
      negative -= v;
    }
  }
  out.termCount = written;
  if (!SidesFit({positive, negative})) return kMaxTerms;
  return written;
}

}  // namespace quorvex
