#pragma once

// Stores grown by the engine's own search, from an empty folder, as `quorvex
// --seed N` with NEMB 0 would grow them.
#include <cstdint>

namespace quorvex::bench {

struct SearchRecipe {
  int32_t power;
  int32_t firstMaxBase;
  int32_t iterationsPerMaxBase;
  int32_t iterations;
  uint32_t defaultSeed;
};

// Runs the iterations from an empty store in the current (scratch) folder and
// leaves the store in DATA<k>.BIN there.
void GrowBySearch(const SearchRecipe& recipe, uint32_t seed);

}  // namespace quorvex::bench
