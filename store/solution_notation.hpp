#pragma once

#include <cstdint>
#include <string>

#include "store/solution_record.hpp"

namespace quorvex {

// "(k,m,n) left=right" without suffix.
std::string FormatSolution(const SolutionRecord& record, int32_t power);

// The "extract" listing line: the solution followed by "(Note: %f)".
void PrintSolutionNote(const SolutionRecord& record);

}  // namespace quorvex
