#include "store/solution_record.hpp"
namespace quorvex {
void OrientRecord(SolutionRecord&) {}  // stub
void Canonicalize(SolutionRecord&) {}  // stub
void SortTerms(SolutionRecord&) {}     // stub
}  // namespace quorvex
