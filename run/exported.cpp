#include <cstdio>
#include <string>

#include "base/run_state.hpp"
#include "quorvex.h"
#include "run/exported.hpp"
#include "search/random.hpp"
#include "search/reducer.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/checkpoint.hpp"
#include "store/result_log.hpp"
#include "store/seed_database.hpp"
#include "store/solution_store.hpp"
#include "store/store_scan.hpp"

using namespace quorvex;

namespace quorvex {

void ResetEngine() {
  ResetStore();
  ResetBestRight();
  ForgetCheckpointDamage();
  gRun.CurrentPower = 0;
  gRun.CurrentWeight = 0;
  gRun.PassCounter = 0;
  SetStoreQueries(StoreQueries::Quick);
}

}  // namespace quorvex

extern "C" int32_t Init(int32_t power) {
  ResetEngine();
  if (int32_t status = LoadSeedDatabase(power)) return status;
  if (int32_t status = LoadResultLog(power)) return status;
  return LoadCheckpoint(power);
}

namespace quorvex {

int32_t RunIteration(int32_t power, int32_t maxBase, int32_t blockSize, int32_t workTerms) {
  // A host calls this directly, so the limits of the fixed tables are checked
  // here and not only when PARAMS.INI is loaded.
  if (const std::string refusal = IterationRefusal(power, maxBase, blockSize, workTerms);
      !refusal.empty()) {
    std::printf("%s", refusal.c_str());
    return 0;
  }
  return SearchIteration(power, maxBase, blockSize, workTerms) ? 1 : -1;
}

}  // namespace quorvex

extern "C" void SeedRandom(uint32_t seed) {
  quorvex::SeedRandom(seed);
}

extern "C" int32_t SetReducer(const char* name) {
  return name != nullptr && SetReducerIndex(FindReducer(name)) ? 0 : -1;
}

extern "C" int32_t ComputeOneIteration(int32_t power, int32_t maxBase, int32_t blockSize,
                                       int32_t workTerms) {
  // Only the console run stops iterations (a host never sets the stop), so a
  // host always sees 1 for an iteration that ran.
  return RunIteration(power, maxBase, blockSize, workTerms) == 0 ? 0 : 1;
}
