#pragma once

#include <cstdint>

namespace quorvex {

constexpr const char* kSeedDatabaseFile = "DATABASE.TXT";

// Reads the solutions of DATABASE.TXT for the power into the store. Returns 0,
// or 1 when a stop cut the reading short.
int32_t LoadSeedDatabase(int32_t power);

}  // namespace quorvex
