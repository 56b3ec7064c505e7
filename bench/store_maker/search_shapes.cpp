#include "bench/store_maker/search_shapes.hpp"

#include <cstdio>

#include "bench/bench_support.hpp"
#include "quorvex.h"
#include "store/checkpoint.hpp"
#include "store/solution_store.hpp"

namespace quorvex::bench {

void GrowBySearch(const SearchRecipe& recipe, uint32_t seed) {
  {
    MutedConsole muted;
    Init(recipe.power);
  }
  ::SeedRandom(seed);
  for (int32_t i = 0; i < recipe.iterations; ++i) {
    const int32_t maxBase = recipe.firstMaxBase + i / recipe.iterationsPerMaxBase;
    {
      MutedConsole muted;
      ComputeOneIteration(recipe.power, maxBase, 20, 0);
    }
    std::fprintf(stderr, "iteration %d/%d (MaxBase %d): %d records, %.1f CPU s\n", i + 1,
                 recipe.iterations, maxBase, gStore.count, CpuSeconds());
  }
  SaveCheckpoint(recipe.power);
}

}  // namespace quorvex::bench
