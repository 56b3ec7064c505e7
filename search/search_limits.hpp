#pragma once

#include <cstdint>
#include <string>

namespace quorvex {

// What one search iteration can hold: its fixed tables are sized by MaxBase
// and WorkTerms, and the reduction needs blocks of 2 or more. Any power k from
// 0 on runs (a large one only makes the lattice's numbers, MaxBase^k, long).
struct Limits {
  int32_t least;
  int32_t most;
};
constexpr Limits kPowerLimits{0, INT32_MAX};
constexpr Limits kMaxBaseLimits{0, 10000};
constexpr Limits kBlockSizeLimits{2, INT32_MAX};
constexpr Limits kWorkTermsLimits{0, 200};  // 0: the automatic choice

constexpr int32_t kBasePoolSize = kMaxBaseLimits.most;
constexpr int32_t kMaxWorkTerms = kWorkTermsLimits.most;

// How a refusal names its value: as a PARAMS.INI key ("BLOCKSIZE=1 is below
// its limit 2") or as an argument of an exported function ("blockSize 1 is
// below 2", "maxBase 10001 is outside 0..10000").
enum class Naming { Key, Argument };

// Empty when `value` is within `limits`, else why not, ending in a line end.
std::string LimitRefusal(const char* name, int32_t value, Limits limits, Naming naming);

// The first refusal among the arguments of one iteration, in an exported
// function's words; empty when the iteration can run.
std::string IterationRefusal(int32_t power, int32_t maxBase, int32_t blockSize, int32_t workTerms);

}  // namespace quorvex
