#include <NTL/LLL.h>

#include <chrono>
#include <iostream>
#include <thread>
#include <tuple>

#include "base/run_state.hpp"
#include "search/lattice.hpp"
#include "search/random.hpp"
#include "search/reducer.hpp"
#include "search/search_iteration.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

class ReducerTest : public FolderTest {
 protected:
  void TearDown() override {
    UseReductionRoutine(nullptr);
    FolderTest::TearDown();
  }
};

NTL::mat_ZZ Lattice(int32_t k, int32_t maxBase, int32_t n) {
  SeedRandom(7);
  DrawBases(maxBase, n);
  NTL::mat_ZZ lattice;
  BuildLattice(lattice, n, k);
  return lattice;
}

// Failures as the floating-point routines show them, put before a reduction
// that would otherwise have finished.
void Complains(NTL::mat_ZZ& lattice, double delta, long blockSize, NTL::LLLCheckFct check) {
  std::cerr << "LLL_FP: warning--relaxing reduction (" << 5 << ")\n";
  NTL::BKZ_FP(lattice, delta, blockSize, 0, check, 0);
}
void NeverEnds(NTL::mat_ZZ& lattice, double, long, NTL::LLLCheckFct check) {
  while (check(lattice[0]) == 0) {
  }
}

TEST_F(ReducerTest, AFailedRoutineLeavesTheLatticeToBkzXd) {
  const ReductionRoutine complains{"complains", Complains};
  const ReductionRoutine neverEnds{"never-ends", NeverEnds};
  struct Case {
    const ReductionRoutine* routine;  // nullptr: BKZ_FP
    int32_t k, maxBase, n;
    std::string failure;  // its beginning; "": none
  } cases[] = {
      {nullptr, 5, 40, 30, ""},
      {nullptr, 100, 1000, 5, "LLL_FP: numbers too big...use LLL_XD"},
      {&complains, 5, 40, 30, "LLL_FP: warning--relaxing reduction (5)"},
      {&neverEnds, 5, 40, 30, "more than "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failure);
    ASSERT_TRUE(SetReducerIndex(FindReducer("bkz_fp")));
    if (c.routine != nullptr) UseReductionRoutine(c.routine);
    const NTL::mat_ZZ built = Lattice(c.k, c.maxBase, c.n);
    NTL::mat_ZZ expected = built;
    if (c.failure.empty()) {
      NTL::BKZ_FP(expected, 0.9999, 20, 0, nullptr, 0);
    } else {
      NTL::BKZ_XD(expected, 0.9999, 20, 0, nullptr, 0);
    }
    NTL::mat_ZZ lattice = built;
    const int64_t before = ReducedAgain();
    ::testing::internal::CaptureStderr();
    const ReductionEnd end = ReduceLattice(lattice, 20);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // the complaint was the routine's
    EXPECT_FALSE(end.stopped);
    EXPECT_EQ(end.failure.substr(0, c.failure.size()), c.failure);
    EXPECT_EQ(end.failure.empty(), c.failure.empty());
    EXPECT_EQ(ReducedAgain() - before, c.failure.empty() ? 0 : 1);
    EXPECT_TRUE(lattice == expected);
  }
  // Outside a fast routine, what goes to std::cerr still reaches it.
  ::testing::internal::CaptureStderr();
  std::cerr << "a line\n";
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "a line\n");
}

// A stop ends a reduction of many seconds within a moment, with every routine
// (at block sizes whose single enumerations are short: the run loop, not the
// routine, bounds a stop inside one long enumeration);
// FPLLL_BKZ2's comes in its tours, after its LLL of a tenth of a second.
TEST_F(ReducerTest, AStopEndsTheReductionAtOnce) {
  const NTL::mat_ZZ large = Lattice(8, 5000, 200);
  const NTL::mat_ZZ small = Lattice(4, 158, 158);
  for (const auto& [name, built, blockSize] :
       {std::tuple("BKZ_XD", &large, 20), std::tuple("BKZ_FP", &large, 20),
        std::tuple("FPLLL_BKZ2", &small, 70)}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(SetReducerIndex(FindReducer(name)));
    gRun.StopRequested = 0;
    NTL::mat_ZZ lattice = *built;
    std::chrono::steady_clock::time_point stop;
    std::jthread stopper([&stop] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      stop = std::chrono::steady_clock::now();
      gRun.StopRequested = 1;
    });
    const int64_t before = ReducedAgain();
    EXPECT_TRUE(ReduceLattice(lattice, blockSize).stopped);
    stopper.join();
    const std::chrono::duration<double> late = std::chrono::steady_clock::now() - stop;
    EXPECT_LT(late.count(), 1.0);
    EXPECT_EQ(ReducedAgain(), before);  // a stop is no failure
  }
}

}  // namespace
}  // namespace quorvex
