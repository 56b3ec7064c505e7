#pragma once

#include <cstdint>
#include <functional>

namespace quorvex {

constexpr int32_t kMaxTerms = 200;

// The most powers (m + n) of any solution the program keeps, reads or takes
// from a combination. Real solutions have tens of powers; without a bound, a
// damaged record with multiplicities in the millions makes the shortening and
// the cross-reduction step through it one power at a time, for hours.
constexpr int32_t kMaxPowers = 65536;

// A k-th power base with the signed number of its copies: positive on the
// left side, negative on the right.
struct Term {
  int32_t base;
  int32_t multiplicity;
};

// One identity between k-th powers, always copied whole.
struct SolutionRecord {
  SolutionRecord* next;
  SolutionRecord* prev;
  uint32_t signature;
  int32_t leftCount;   // m: sum of the positive multiplicities
  int32_t rightCount;  // n: sum of the magnitudes of the negative ones
  int32_t termCount;   // 0 marks a free store slot
  Term terms[kMaxTerms];
};

// Takes each solution a file reader finds: counts from the file, Terms
// sorted by SortTerms, not yet canonical. It may change the record.
using SolutionSink = std::function<void(SolutionRecord&)>;

// Counts both sides and puts the side with fewer powers on the left.
void OrientRecord(SolutionRecord& record);
// Orientation from the stored counts, removal of common factors of two, signature.
void Canonicalize(SolutionRecord& record);
// Selection sort of the Terms into descending base order.
void SortTerms(SolutionRecord& record);

// Merged a + sign * b of two descending Term lists into out; returns the
// number of Terms written (200 or more means too long). A merged multiplicity
// beyond 32 bits, or a result with more than kMaxPowers powers, also returns
// 200, so that no caller ever evaluates it.
int32_t CombineTerms(const SolutionRecord& a, const SolutionRecord& b, int32_t sign,
                     SolutionRecord& out);

}  // namespace quorvex
