// Benchmark stores of several shapes, the same bytes for the same seed:
//   quorvex_make_store SHAPE OUT_DIR [seed]
//     writes OUT_DIR/DATA<k>.BIN, and OUT_DIR/DATABASE.TXT for the shapes made
//     from identities, after checking every record exactly; when one is false
//     nothing is written and the exit status is 1. SHAPE is one of
//       bench     k = 5, MaxBase 90 to 113, 5 iterations each (seed 5): the
//                 recipe of bench/data/DATA5.BIN
//       grown     k = 5, MaxBase 300 to 311, 5 iterations each (seed 1): the
//                 recipe of bench/data/grown/DATA5.BIN
//       families  k = 5, sums and differences of scaled identities (seed 1)
//       k8        k = 8, MaxBase 5000 to 5009, 5 iterations each (seed 1)
//       long      k = 5, sums and differences of 12 to 32 scaled identities,
//                 60 to 120 Terms, sharing a few hundred large bases (seed 1)
//       large     k = 5, as families with bases up to a few hundred thousand
//                 (seed 1)
//       published k = 5, sums of 3 to 5 published identities, each scaled by
//                 every factor that keeps its bases below 10000 (seed 1)
//   quorvex_make_store check PATH [power]
//     checks every record of a DATA<k>.BIN exactly and describes its shape.
// The search shapes run the engine's own iterations (BlockSize 20, WorkTerms
// 0) from an empty folder, as `quorvex --seed N` with NEMB 0 would.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.hpp"
#include "bench/store_maker/family_shapes.hpp"
#include "bench/store_maker/search_shapes.hpp"
#include "bench/store_maker/store_check.hpp"
#include "store/checkpoint.hpp"
#include "store/seed_database.hpp"
#include "store/solution_store.hpp"

namespace {

using namespace quorvex;
using namespace quorvex::bench;

constexpr int32_t kFullStore = kStoreSlots;

// Checks what the scratch folder holds and copies it to the output folder
// only when every record is a true identity.
int CheckAndWrite(int32_t power, bool withDatabase, const std::filesystem::path& out) {
  const std::string name = CheckpointName(power);
  std::vector<Entry> entries;
  if (!ReadStoreEntries(name, entries)) {
    std::fprintf(stderr, "cannot read back %s\n", name.c_str());
    return 1;
  }
  int32_t failed = CheckEntries(entries, power, name.c_str());
  int32_t lines = 0;
  if (withDatabase) failed += CheckDatabase(kSeedDatabaseFile, power, lines);
  if (failed != 0) {
    std::fprintf(stderr, "%d records fail: nothing written\n", failed);
    return 1;
  }
  if (static_cast<int32_t>(entries.size()) != kFullStore) {
    std::printf("note: the store holds %zu records, not %d\n", entries.size(), kFullStore);
  }
  std::filesystem::create_directories(out);
  std::filesystem::copy_file(name, out / name, std::filesystem::copy_options::overwrite_existing);
  std::printf("checked %zu records exactly: all true identities\n", entries.size());
  PrintFile(out / name);
  if (withDatabase) {
    std::filesystem::copy_file(kSeedDatabaseFile, out / kSeedDatabaseFile,
                               std::filesystem::copy_options::overwrite_existing);
    std::printf("checked %d DATABASE.TXT lines exactly: all true identities\n", lines);
    PrintFile(out / kSeedDatabaseFile);
  }
  Describe(entries, power);
  return 0;
}

int Check(const std::string& path, int32_t power) {
  std::vector<Entry> entries;
  if (!ReadStoreEntries(path, entries)) {
    std::fprintf(stderr, "cannot read %s as a store file\n", path.c_str());
    return 1;
  }
  const int32_t failed = CheckEntries(entries, power, path.c_str());
  std::printf("%s: %zu records, %d not true identities\n", path.c_str(), entries.size(), failed);
  PrintFile(path);
  Describe(entries, power);
  return failed == 0 ? 0 : 1;
}

int Usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s bench|grown|families|k8|long|large|published OUT_DIR [seed]\n"
               "       %s check PATH/DATA<k>.BIN [power]\n",
               program, program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage(argv[0]);
  const std::string shape = argv[1];
  if (shape == "check") {
    const int32_t power = argc > 3 ? std::atoi(argv[3]) : PowerFromName(argv[2]);
    if (power < 1) return Usage(argv[0]);
    return Check(argv[2], power);
  }
  const SearchRecipe bench{5, 90, 5, 120, 5};
  const SearchRecipe grown{5, 300, 5, 60, 1};
  const SearchRecipe k8{8, 5000, 5, 50, 1};
  const SearchRecipe* recipe = nullptr;
  if (shape == "bench") recipe = &bench;
  if (shape == "grown") recipe = &grown;
  if (shape == "k8") recipe = &k8;
  const FamilyRecipe* family = nullptr;
  for (const FamilyRecipe* made :
       {&kFamiliesRecipe, &kLongRecipe, &kLargeRecipe, &kPublishedRecipe}) {
    if (shape == made->shape) family = made;
  }
  if (recipe == nullptr && family == nullptr) return Usage(argv[0]);
  const uint32_t seed = argc > 3 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10))
                        : recipe != nullptr ? recipe->defaultSeed
                                            : 1;
  const std::filesystem::path out = std::filesystem::absolute(argv[2]);
  ScratchFolder folder;
  if (family != nullptr) {
    if (!MakeFamilies(*family, seed)) return 1;
    return CheckAndWrite(5, true, out);
  }
  GrowBySearch(*recipe, seed);
  return CheckAndWrite(recipe->power, false, out);
}
