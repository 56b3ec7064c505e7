#pragma once

#include <cstdint>
#include <functional>

namespace quorvex {

constexpr int32_t kMaxTerms = 200;

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

// The powers on each side of a Term list, counted in 64 bits.
struct SideCounts {
  int64_t positive;
  int64_t negative;
};
SideCounts CountSides(const Term* terms, int32_t count);
// Whether a record's 32-bit counts can hold both sides (each at most 2^31 - 1
// powers). No file, combination or relation beyond that is ever taken.
bool SidesFit(const SideCounts& sides);

// Counts both sides and puts the side with fewer powers on the left.
void OrientRecord(SolutionRecord& record);
// Orientation from the stored counts, removal of common factors of two, signature.
void Canonicalize(SolutionRecord& record);
// Selection sort of the Terms into descending base order.
void SortTerms(SolutionRecord& record);

// Merged a + sign * b of two descending Term lists into out; returns the
// number of Terms written (200 or more means too long). A result whose sides
// do not fit 32-bit counts also returns 200, so that no caller evaluates it.
int32_t CombineTerms(const SolutionRecord& a, const SolutionRecord& b, int32_t sign,
                     SolutionRecord& out);

}  // namespace quorvex
