#pragma once

#include <cstdint>
#include <string>

#include "store/solution_record.hpp"

namespace quorvex {

// "DATA<k>.TXT"
std::string ResultLogName(int32_t power);
// Appends the record's line with the " (W,P)" suffix to DATA<k>.TXT (synced to
// disk before returning) and prints it.
void LogSolution(const SolutionRecord& record);
// Reads DATA<k>.TXT into the store (quietly). Returns 0.
int32_t LoadResultLog(int32_t power);

}  // namespace quorvex
