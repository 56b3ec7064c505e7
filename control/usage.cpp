#include "control/usage.hpp"
namespace quorvex {
const char* const kUsageText = "";    // stub
const char* const kVersionText = "";  // stub
}  // namespace quorvex
