#include "store/solution_record.hpp"

#include <cstdint>
#include <utility>

#include "control/fatal_error.hpp"

namespace quorvex {

namespace {

// Two's-complement negation without the undefined case of INT32_MIN, which
// the readers and the search never let through but must not crash us here.
int32_t Negated(int32_t value) {
  return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
}

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

void OrientRecord(SolutionRecord& record) {
  int64_t m = 0;
  int64_t n = 0;
  const int32_t used = UsedTerms(record);
  for (int32_t i = 0; i < used; ++i) {
    const int64_t multiplicity = record.terms[i].multiplicity;
    if (multiplicity > 0) {
      m += multiplicity;
    } else {
      n -= multiplicity;
    }
  }
  int32_t left = Saturated(m);
  int32_t right = Saturated(n);
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
  for (int32_t i = 0; i + 1 < used; ++i) {
    int32_t largest = i;
    for (int32_t j = i + 1; j < used; ++j) {
      if (record.terms[j].base > record.terms[largest].base) largest = j;
    }
    if (largest != i) std::swap(record.terms[i], record.terms[largest]);
  }
}

}  // namespace quorvex
