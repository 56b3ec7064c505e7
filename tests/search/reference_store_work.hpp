// The straightforward store work, kept as the reference that the indexed
// routines of the engine must match byte for byte: every stored record is
// merged with the candidate, every duplicate check and eviction walks the
// whole in-use list.
#pragma once

#include <cstdint>

#include "store/solution_record.hpp"

namespace quorvex::reference {

void InsertRecord(SolutionRecord& record, SolutionRecord* target, int32_t mode);
SolutionRecord* ChooseVictim(const SolutionRecord& record);
bool IsStored(const SolutionRecord& record);
bool ShortenAgainstStore();
// Both shortening passes over the extracted relations, every trial row
// written out in 64-bit arithmetic.
int32_t ShortenRelations(int32_t relationCount, int32_t workTerms);
void CrossReductionPass();

}  // namespace quorvex::reference
