#pragma once

// Solutions as they travel between the processes of a spread search: each as
// its term count followed by its (base, multiplicity) pairs, as in DATA<k>.BIN.
#include <cstdint>
#include <vector>

#include "store/solution_record.hpp"

namespace quorvex {

void AppendRecord(std::vector<int32_t>& message, const SolutionRecord& record);
// Reads the record at `at` and moves `at` past it. False for a damaged message.
bool ReadRecord(const std::vector<int32_t>& message, size_t& at, SolutionRecord& record);

}  // namespace quorvex
