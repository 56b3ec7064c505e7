#pragma once

#include <cstdint>

namespace quorvex {

// The pseudo-random generator: 15-bit results, state 1 until seeded. Each
// thread that searches has its own, so that workers draw independently.
struct RandomState {
  uint32_t state = 1;
};
extern thread_local constinit RandomState gRandom;

void SeedRandom(uint32_t seed);
// state = state * 214013 + 2531011 (mod 2^32); returns bits 16 to 30 (0..32767).
int32_t Rand();

}  // namespace quorvex
