#include "search/search_limits.hpp"

#include <cstdio>

namespace quorvex {

std::string LimitRefusal(const char* name, int32_t value, Limits limits, Naming naming) {
  if (value >= limits.least && value <= limits.most) return {};
  char text[160];
  if (naming == Naming::Key) {
    if (value < limits.least) {
      std::snprintf(text, sizeof text, "%s=%d is below its limit %d\n", name, value, limits.least);
    } else {
      std::snprintf(text, sizeof text, "%s=%d is above its limit %d\n", name, value, limits.most);
    }
  } else if (limits.most == INT32_MAX) {
    std::snprintf(text, sizeof text, "%s %d is below %d\n", name, value, limits.least);
  } else {
    std::snprintf(text, sizeof text, "%s %d is outside %d..%d\n", name, value, limits.least,
                  limits.most);
  }
  return text;
}

std::string IterationRefusal(int32_t power, int32_t maxBase, int32_t blockSize, int32_t workTerms) {
  for (const std::string& refusal :
       {LimitRefusal("power", power, kPowerLimits, Naming::Argument),
        LimitRefusal("maxBase", maxBase, kMaxBaseLimits, Naming::Argument),
        LimitRefusal("workTerms", workTerms, kWorkTermsLimits, Naming::Argument),
        LimitRefusal("blockSize", blockSize, kBlockSizeLimits, Naming::Argument)}) {
    if (!refusal.empty()) return refusal;
  }
  return {};
}

}  // namespace quorvex
