#include "search/random.hpp"

namespace quorvex {

thread_local constinit RandomState gRandom{};

void SeedRandom(uint32_t seed) {
  gRandom.state = seed;
}

int32_t Rand() {
  gRandom.state = gRandom.state * 214013u + 2531011u;
  return static_cast<int32_t>((gRandom.state >> 16) & 0x7fffu);
}

}  // namespace quorvex
