#pragma once

#include <NTL/LLL.h>
#include <NTL/mat_ZZ.h>

#include <cstdint>
#include <string>

namespace quorvex {

// Sizes the lattice to n rows of n + 1 entries: a unit vector per row, then
// BasePool[row]^k times a weight drawn here. Kept apart from
// search_iteration.hpp so that only code using NTL sees NTL's types.
void BuildLattice(NTL::mat_ZZ& lattice, int32_t n, int32_t k);

// A lattice reduction with the arguments of NTL's: `check` is called after
// every size reduction, and a nonzero answer ends the routine early.
struct ReductionRoutine {
  const char* name;
  void (*reduce)(NTL::mat_ZZ& lattice, double delta, long blockSize, NTL::LLLCheckFct check);
};

struct ReductionEnd {
  bool stopped = false;  // a stop cut it short: the rows are not all reduced
  std::string failure;   // why the chosen routine failed, when BKZ_XD reduced it again
};

// Reduces the lattice with the chosen routine (SetReducer). A routine other
// than BKZ_XD fails when NTL reports an error, writes a complaint on
// std::cerr, or takes far more steps than the lattice's size predicts; the
// lattice as it was is then reduced with BKZ_XD, and the count of
// ReducedAgain goes up. An error of BKZ_XD itself is thrown on.
ReductionEnd ReduceLattice(NTL::mat_ZZ& lattice, int32_t blockSize);

// Reduces with a routine the program does not offer, with the same fallback,
// for benchmarks and tests to weigh it (nullptr: back to BKZ_XD).
void UseReductionRoutine(const ReductionRoutine* routine);

}  // namespace quorvex
