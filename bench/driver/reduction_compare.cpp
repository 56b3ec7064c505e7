// Does BKZ_FP give the same reduced basis as BKZ_XD on the search's lattices?
//   quorvex_reduction_compare [lattices] [seed]
// Builds lattices as a search iteration does (shuffled rows, unit vectors, the
// k-th powers times a random weight in the last column) for k = 3..8, MaxBase
// up to 10000 and block sizes 2..40, reduces each copy with both routines and
// compares every entry. Prints one line per difference and a summary.
#include <NTL/LLL.h>
#include <NTL/mat_ZZ.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "search/lattice.hpp"
#include "search/random.hpp"
#include "search/search_iteration.hpp"

namespace {

using namespace quorvex;

constexpr double kDelta = 0.9999;

struct Shape {
  long k;
  long maxBase;
  long blockSize;
  long rows;
};

// Draws a lattice the way SearchIteration does, without printing the bases.
void DrawLattice(const Shape& shape, NTL::mat_ZZ& lattice) {
  const int32_t n = static_cast<int32_t>(shape.rows);
  DrawBases(static_cast<int32_t>(shape.maxBase), n);
  BuildLattice(lattice, n, static_cast<int32_t>(shape.k));
}

Shape DrawShape() {
  static const long kMaxBases[] = {10, 20, 40, 60, 100, 300, 1000, 3000, 10000};
  Shape shape;
  shape.k = 3 + Rand() % 6;
  shape.maxBase = kMaxBases[Rand() % 9];
  shape.blockSize = 2 + Rand() % 39;
  // Dimensions stay modest so that a thousand lattices reduce in minutes.
  long rows = 6 + Rand() % 40;
  shape.rows = std::min(rows, shape.maxBase);
  return shape;
}

}  // namespace

int main(int argc, char** argv) {
  const long lattices = argc > 1 ? std::atol(argv[1]) : 1000;
  SeedRandom(argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1);
  long differing = 0;
  double fpSeconds = 0;
  double xdSeconds = 0;
  long byK[9] = {};
  long largestBlock = 0;
  long largestRows = 0;
  long largestBase = 0;
  for (long i = 0; i < lattices; ++i) {
    Shape shape = DrawShape();
    NTL::mat_ZZ xd;
    DrawLattice(shape, xd);
    NTL::mat_ZZ fp = xd;
    auto t0 = std::chrono::steady_clock::now();
    NTL::BKZ_XD(xd, kDelta, shape.blockSize, 0, nullptr, 0);
    auto t1 = std::chrono::steady_clock::now();
    NTL::BKZ_FP(fp, kDelta, shape.blockSize, 0, nullptr, 0);
    auto t2 = std::chrono::steady_clock::now();
    xdSeconds += std::chrono::duration<double>(t1 - t0).count();
    fpSeconds += std::chrono::duration<double>(t2 - t1).count();
    ++byK[shape.k];
    largestBlock = std::max(largestBlock, shape.blockSize);
    largestRows = std::max(largestRows, shape.rows);
    largestBase = std::max(largestBase, shape.maxBase);
    if (xd != fp) {
      ++differing;
      std::printf("differs: lattice %ld k=%ld MaxBase=%ld rows=%ld BlockSize=%ld\n", i, shape.k,
                  shape.maxBase, shape.rows, shape.blockSize);
    }
  }
  std::printf("%ld lattices (k=3..8:", lattices);
  for (int k = 3; k <= 8; ++k) std::printf(" %ld", byK[k]);
  std::printf("), MaxBase up to %ld, rows up to %ld, block sizes up to %ld\n", largestBase,
              largestRows, largestBlock);
  std::printf("identical bases: %ld, different: %ld\n", lattices - differing, differing);
  std::printf("BKZ_XD %.2f s, BKZ_FP %.2f s\n", xdSeconds, fpSeconds);
  return differing == 0 ? 0 : 1;
}
