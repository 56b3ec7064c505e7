#include <gtest/gtest.h>

#include "search/random.hpp"

namespace quorvex {
namespace {

TEST(Random, UnseededSequenceAndSeeding) {
  gRandom = RandomState{};
  EXPECT_EQ(Rand(), 41);
  EXPECT_EQ(Rand(), 18467);
  EXPECT_EQ(Rand(), 6334);
  EXPECT_EQ(Rand(), 26500);
  EXPECT_EQ(Rand(), 19169);
  SeedRandom(1);
  EXPECT_EQ(Rand(), 41);
  SeedRandom(0);
  EXPECT_EQ(Rand(), 38);  // 2531011 >> 16 = 38
  for (int i = 0; i < 100000; ++i) {
    int32_t r = Rand();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, 32767);
  }
}

}  // namespace
}  // namespace quorvex
