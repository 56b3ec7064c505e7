// The straightforward store work, kept as the reference that the indexed
// routines of the engine must match byte for byte: every stored record is
// merged with the candidate, every duplicate check and eviction walks the
// whole in-use list.
#pragma once

#include "store/solution_record.hpp"

namespace quorvex::reference {

void InsertRecord(SolutionRecord& record, SolutionRecord* target, int32_t mode);
SolutionRecord* ChooseVictim(const SolutionRecord& record);
bool IsStored(const SolutionRecord& record);
void ShortenAgainstStore();
void CrossReductionPass();

}  // namespace quorvex::reference
