#pragma once

// The binary form of a solution, one for every place that holds or sends one:
// the checkpoint (as little-endian bytes), merge (which reads checkpoints),
// the messages of a search spread over processes, and the store maker. A
// record is its Term count, then the base and the multiplicity of each Term,
// every number a 32-bit integer; only the Terms travel, and whoever reads a
// record rebuilds its counts from them.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "store/solution_record.hpp"

namespace quorvex {

void AppendRecord(std::vector<int32_t>& words, const SolutionRecord& record);
// One word as four little-endian bytes.
void AppendInt32(std::string& bytes, int32_t value);

enum class RecordRead {
  Read,
  Damaged,  // a Term count outside 1..200, or the words ran out inside the record
  Corrupt,  // Terms no solution has: a base below 1, a multiplicity of 0, or
            // a side of 2^31 powers or more, which no 32-bit count holds
};
// Reads one record word by word from `next` (false when none is left). A
// record read has its counts set to the sums of its sides, not yet oriented.
RecordRead ReadRecordWords(const std::function<bool(int32_t&)>& next, SolutionRecord& record);
// The record of a message at `at`, moving `at` past it; false unless Read.
bool ReadRecord(const std::vector<int32_t>& words, size_t& at, SolutionRecord& record);

}  // namespace quorvex
