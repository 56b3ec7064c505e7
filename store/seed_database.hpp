#pragma once

#include <cstdint>
#include <functional>

#include "base/file_reading.hpp"
#include "store/solution_record.hpp"

namespace quorvex {

constexpr const char* kSeedDatabaseFile = "DATABASE.TXT";

// Takes m and n, as the header gives them, of a seed of 200 Terms or more,
// which no record can hold.
using LongSeedSink = std::function<void(int32_t m, int32_t n)>;

// Hands every solution of DATABASE.TXT for the power to `take` (or its size
// to `tooLong`) and stops at the first line the loader refuses.
FileReading ReadSeedDatabase(int32_t power, const SolutionSink& take, const LongSeedSink& tooLong);

// Reads the solutions of DATABASE.TXT for the power into the store. Returns 0,
// or 1 when a stop cut the reading short.
int32_t LoadSeedDatabase(int32_t power);

}  // namespace quorvex
