#include "search/fplll_bkz.hpp"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace quorvex {

namespace {

using Integer = fplll::Z_NR<mpz_t>;
using Float = fplll::FP_NR<double>;

// NTL and fplll both keep their integers in GMP; the bytes of the magnitude
// carry them across.
void ToMpz(const NTL::ZZ& value, mpz_t out) {
  const long bytes = NTL::NumBytes(value);
  std::vector<unsigned char> buffer(static_cast<size_t>(std::max(bytes, 1L)));
  NTL::BytesFromZZ(buffer.data(), value, bytes);
  mpz_import(out, static_cast<size_t>(bytes), -1, 1, 0, 0, buffer.data());
  if (NTL::sign(value) < 0) mpz_neg(out, out);
}

void FromMpz(const mpz_t value, NTL::ZZ& out) {
  std::vector<unsigned char> buffer((mpz_sizeinbase(value, 2) + 7) / 8 + 1);
  size_t bytes = 0;
  mpz_export(buffer.data(), &bytes, -1, 1, 0, 0, value);
  NTL::ZZFromBytes(out, buffer.data(), static_cast<long>(bytes));
  if (mpz_sgn(value) < 0) NTL::negate(out, out);
}

// Loaded once and only read after: BKZParam holds them by a reference that
// is not const, but changes only an empty list.
std::vector<fplll::Strategy>& Strategies() {
  static std::vector<fplll::Strategy> strategies =
      fplll::load_strategies_json(fplll::strategy_full_path(fplll::default_strategy()));
  return strategies;
}

// fplll's BKZ 2.0 tour by tour, block by block, so that the check comes
// between two blocks: fplll itself has no check function.
void Tours(fplll::ZZ_mat<mpz_t>& matrix, long blockSize, const NTL::vec_ZZ& row,
           NTL::LLLCheckFct check) {
  fplll::ZZ_mat<mpz_t> none;
  fplll::MatGSO<Integer, Float> gso(matrix, none, none, fplll::GSO_DEFAULT);
  fplll::LLLReduction<Integer, Float> lll(gso, fplll::LLL_DEF_DELTA, fplll::LLL_DEF_ETA,
                                          fplll::LLL_DEFAULT);
  const int rows = matrix.get_rows();
  const int block = static_cast<int>(std::min<long>(blockSize, rows));
  fplll::BKZParam param(block, Strategies(), fplll::LLL_DEF_DELTA,
                        fplll::BKZ_AUTO_ABORT | fplll::BKZ_GH_BND);
  fplll::BKZReduction<Integer, Float> bkz(gso, lll, param);
  if (!lll.lll()) throw std::runtime_error(fplll::get_red_status_str(lll.status));
  fplll::BKZAutoAbort<Integer, Float> stalled(gso, rows);
  while (!stalled.test_abort(param.auto_abort_scale, param.auto_abort_max_no_dec)) {
    bool clean = true;
    for (int kappa = 0; kappa < rows - block; ++kappa) {
      if (check(row) != 0) return;
      clean &= bkz.svp_reduction(kappa, block, param);
    }
    if (check(row) != 0) return;
    int kappaMax = 0;
    clean &= bkz.hkz(kappaMax, param, rows - block, rows);
    if (clean || block >= rows) return;
  }
}

}  // namespace

fplll::ZZ_mat<mpz_t> ToFplll(const NTL::mat_ZZ& lattice) {
  const int rows = static_cast<int>(lattice.NumRows());
  const int columns = static_cast<int>(lattice.NumCols());
  fplll::ZZ_mat<mpz_t> matrix(rows, columns);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < columns; ++j) ToMpz(lattice[i][j], matrix[i][j].get_data());
  }
  return matrix;
}

void FromFplll(const fplll::ZZ_mat<mpz_t>& matrix, NTL::mat_ZZ& lattice) {
  for (int i = 0; i < matrix.get_rows(); ++i) {
    for (int j = 0; j < matrix.get_cols(); ++j) FromMpz(matrix[i][j].get_data(), lattice[i][j]);
  }
}

void ReduceFplllBkz2(NTL::mat_ZZ& lattice, double, long blockSize, NTL::LLLCheckFct check) {
  // NTL's LLL first: it looks at the check, and refuses numbers beyond a
  // double's range before fplll would spend long on them.
  NTL::LLL_FP(lattice, fplll::LLL_DEF_DELTA, 0, check, 0);
  if (check(lattice[0]) != 0) return;
  fplll::ZZ_mat<mpz_t> matrix = ToFplll(lattice);
  try {
    Tours(matrix, blockSize, lattice[0], check);
  } catch (fplll::RedStatus status) {
    throw std::runtime_error(fplll::get_red_status_str(status));
  }
  FromFplll(matrix, lattice);
}

}  // namespace quorvex
