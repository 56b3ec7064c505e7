#pragma once

#include <cstdint>

#include "store/solution_record.hpp"

namespace quorvex {

// True when the sum over the Terms of multiplicity * base^power is exactly 0,
// computed with arbitrary-precision integers. A negative power never holds.
bool IdentityHolds(const Term* terms, int32_t count, int32_t power);

// Checks every stored solution and every solution line of DATA<k>.TXT and
// DATABASE.TXT for the power with exact arithmetic. Prints each false identity
// and a summary; returns the exit status (0 when none is false).
int VerifyAll(int32_t power);

}  // namespace quorvex
