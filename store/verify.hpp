#pragma once

#include <cstdint>

namespace quorvex {

// Checks every stored solution and every solution line of DATA<k>.TXT and
// DATABASE.TXT for the power with exact arithmetic. Prints each false identity
// and a summary; returns the exit status (0 when none is false).
int VerifyAll(int32_t power);

}  // namespace quorvex
