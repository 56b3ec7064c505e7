#pragma once

#include <NTL/LLL.h>
#include <NTL/mat_ZZ.h>
#include <fplll.h>

namespace quorvex {

// fplll's BKZ 2.0 (pruned enumeration with fplll's default strategies, the
// Gaussian-heuristic bound and auto-abort) after NTL's LLL_FP, with the
// arguments of a ReductionRoutine. fplll's LLL delta replaces `delta`;
// `check` is called between two blocks as between two size reductions of
// the LLL, and a nonzero answer ends it with the lattice half reduced.
// fplll's failures are thrown as std::runtime_error.
void ReduceFplllBkz2(NTL::mat_ZZ& lattice, double delta, long blockSize, NTL::LLLCheckFct check);

// The lattice as fplll's matrix, and back (sized as it is).
fplll::ZZ_mat<mpz_t> ToFplll(const NTL::mat_ZZ& lattice);
void FromFplll(const fplll::ZZ_mat<mpz_t>& matrix, NTL::mat_ZZ& lattice);

}  // namespace quorvex
