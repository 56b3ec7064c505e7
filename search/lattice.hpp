#pragma once

#include <NTL/mat_ZZ.h>

#include <cstdint>

namespace quorvex {

// Sizes the lattice to n rows of n + 1 entries: a unit vector per row, then
// BasePool[row]^k times a weight drawn here. Kept apart from
// search_iteration.hpp so that only code using NTL sees NTL's types.
void BuildLattice(NTL::mat_ZZ& lattice, int32_t n, int32_t k);

}  // namespace quorvex
