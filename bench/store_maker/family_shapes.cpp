#include "bench/store_maker/family_shapes.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "base/file_reading.hpp"
#include "bench/bench_support.hpp"
#include "bench/store_maker/store_check.hpp"
#include "quorvex.h"
#include "search/random.hpp"
#include "store/checkpoint.hpp"
#include "store/seed_database.hpp"
#include "store/solution_line.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"

namespace quorvex::bench {

namespace {

constexpr int32_t kFullStore = kStoreSlots;

// splitmix64: a generator whose sequence is fixed by its definition, so the
// same seed gives the same store with any compiler or library.
class Generator {
 public:
  explicit Generator(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int32_t Below(int32_t bound) {
    return static_cast<int32_t>(Next() % static_cast<uint64_t>(bound));
  }

 private:
  uint64_t state_;
};

constexpr const char* kKnownIdentities[] = {
    "(5,1,4) 144=133+110+84+27",
    "(5,3,3) 67+28+24=62+54+3",
};
// Published identities with one power alone on a side: Lander and Parkin's
// 144^5 and five n^5 that are sums of five fifth powers.
constexpr const char* kPublishedIdentities[] = {
    "(5,1,4) 144=133+110+84+27",      "(5,1,5) 72=67+47+46+43+19",
    "(5,1,5) 94=84+79+37+23+21",      "(5,1,5) 107=100+80+57+43+7",
    "(5,1,5) 365=347+259+191+120+78", "(5,1,5) 415=395+261+258+202+79",
};

SolutionRecord ToRecord(const Entry& entry) {
  SolutionRecord record{};
  record.termCount = static_cast<int32_t>(entry.size());
  std::copy(entry.begin(), entry.end(), record.terms);
  SortTerms(record);
  OrientRecord(record);
  return record;
}

bool ParseKnownIdentity(const char* line, Entry& entry) {
  ParsedSolution parsed;
  if (!TryParseSolutionLine(line, 5, "the maker", parsed).message.empty() || parsed.otherPower) {
    return false;
  }
  entry.assign(parsed.terms, parsed.terms + parsed.count);
  std::sort(entry.begin(), entry.end(), [](Term a, Term b) { return a.base > b.base; });
  return true;
}

struct Families {
  std::vector<SolutionRecord> members;
  std::vector<std::vector<int32_t>> membersWithBase;  // by base
};

// Distinct factors, scale 1 first when the recipe keeps it.
std::vector<int32_t> DrawScales(const FamilyRecipe& recipe, Generator& generator) {
  std::vector<int32_t> scales;
  if (recipe.keepUnscaled) scales.push_back(1);
  const int32_t span = recipe.largestScale - recipe.smallestScale + 1;
  while (static_cast<int32_t>(scales.size()) < recipe.scalesPerFamily) {
    const int32_t scale = recipe.smallestScale + generator.Below(span);
    if (std::find(scales.begin(), scales.end(), scale) == scales.end()) scales.push_back(scale);
  }
  return scales;
}

bool BuildSearchFamilies(const FamilyRecipe& recipe, Generator& generator, Families& families) {
  std::vector<Entry> searched;
  if (!ReadStoreEntries(FullStoreFile(), searched)) {
    std::fprintf(stderr, "cannot read %s\n", FullStoreFile().c_str());
    return false;
  }
  std::vector<Entry> seeds;
  for (int32_t i = 0; i < recipe.families; ++i) {
    // A partial shuffle: distinct solutions of the search.
    const int32_t pick = i + generator.Below(static_cast<int32_t>(searched.size()) - i);
    std::swap(searched[static_cast<size_t>(i)], searched[static_cast<size_t>(pick)]);
    seeds.push_back(searched[static_cast<size_t>(i)]);
  }
  for (const char* line : kKnownIdentities) {
    Entry entry;
    if (!ParseKnownIdentity(line, entry)) return false;
    seeds.push_back(entry);
  }
  if (CheckEntries(seeds, 5, "seed identity") != 0) return false;
  std::vector<int32_t> common;
  if (recipe.commonScales) common = DrawScales(recipe, generator);
  for (const Entry& seed : seeds) {
    const std::vector<int32_t> scales =
        recipe.commonScales ? common : DrawScales(recipe, generator);
    for (int32_t scale : scales) {
      Entry scaled = seed;
      for (Term& term : scaled) term.base *= scale;
      families.members.push_back(ToRecord(scaled));
    }
  }
  return true;
}

bool BuildPublishedFamilies(const FamilyRecipe& recipe, Families& families) {
  std::vector<Entry> seeds;
  for (const char* line : kPublishedIdentities) {
    Entry entry;
    if (!ParseKnownIdentity(line, entry)) return false;
    seeds.push_back(entry);
  }
  if (CheckEntries(seeds, 5, "published identity") != 0) return false;
  for (const Entry& seed : seeds) {
    // The seed's Terms are in descending order of base.
    for (int32_t scale = 1; seed[0].base * scale <= recipe.largestBase; ++scale) {
      Entry scaled = seed;
      for (Term& term : scaled) term.base *= scale;
      families.members.push_back(ToRecord(scaled));
    }
  }
  return true;
}

bool BuildFamilies(const FamilyRecipe& recipe, Generator& generator, Families& families) {
  const bool built = recipe.publishedOnly ? BuildPublishedFamilies(recipe, families)
                                          : BuildSearchFamilies(recipe, generator, families);
  if (!built) return false;
  for (size_t i = 0; i < families.members.size(); ++i) {
    const SolutionRecord& member = families.members[i];
    for (int32_t t = 0; t < member.termCount; ++t) {
      const size_t base = static_cast<size_t>(member.terms[t].base);
      if (base >= families.membersWithBase.size()) families.membersWithBase.resize(base + 1);
      families.membersWithBase[base].push_back(static_cast<int32_t>(i));
    }
  }
  return true;
}

int32_t MultiplicityOf(const SolutionRecord& record, int32_t base) {
  for (int32_t t = 0; t < record.termCount; ++t) {
    if (record.terms[t].base == base) return record.terms[t].multiplicity;
  }
  return 0;
}

int32_t DrawPartCount(const FamilyRecipe& recipe, Generator& generator) {
  if (recipe.fewestParts > 0) {
    return recipe.fewestParts + generator.Below(recipe.mostParts - recipe.fewestParts + 1);
  }
  const int32_t roll = generator.Below(100);
  if (roll < 65) return 2;
  if (roll < 90) return 3;
  if (roll < 97) return 4;
  return 5 + generator.Below(8);
}

// One of the bases, each as likely as the number of members holding it.
int32_t DrawBase(const FamilyRecipe& recipe, Generator& generator, const Families& families,
                 const std::vector<int32_t>& bases) {
  if (!recipe.byPopularity) {
    return bases[static_cast<size_t>(generator.Below(static_cast<int32_t>(bases.size())))];
  }
  int32_t total = 0;
  for (int32_t base : bases) {
    total += static_cast<int32_t>(families.membersWithBase[static_cast<size_t>(base)].size());
  }
  int32_t roll = generator.Below(total);
  for (int32_t base : bases) {
    roll -= static_cast<int32_t>(families.membersWithBase[static_cast<size_t>(base)].size());
    if (roll < 0) return base;
  }
  return bases.back();
}

// One combination of members chained through shared bases; false when the
// chain found no partner, grew to 200 Terms or ended outside the recipe's
// number of Terms.
bool DrawCombination(const FamilyRecipe& recipe, Generator& generator, const Families& families,
                     SolutionRecord& out) {
  const int32_t parts = DrawPartCount(recipe, generator);
  std::vector<int32_t> used{generator.Below(static_cast<int32_t>(families.members.size()))};
  SolutionRecord current = families.members[static_cast<size_t>(used[0])];
  SolutionRecord merged;
  while (static_cast<int32_t>(used.size()) < parts) {
    std::vector<int32_t> high;
    std::vector<int32_t> low;
    for (int32_t t = 0; t < current.termCount; ++t) {
      const int32_t base = current.terms[t].base;
      if (families.membersWithBase[static_cast<size_t>(base)].size() < 2) continue;
      (base >= kHighBase ? high : low).push_back(base);
    }
    if (high.empty() && low.empty()) return false;
    const bool pickHigh = !high.empty() && (low.empty() || generator.Below(10) < recipe.highInTen);
    const int32_t base = DrawBase(recipe, generator, families, pickHigh ? high : low);
    const std::vector<int32_t>& holders = families.membersWithBase[static_cast<size_t>(base)];
    const int32_t partner =
        holders[static_cast<size_t>(generator.Below(static_cast<int32_t>(holders.size())))];
    if (std::find(used.begin(), used.end(), partner) != used.end()) return false;
    const SolutionRecord& other = families.members[static_cast<size_t>(partner)];
    const int32_t mine = MultiplicityOf(current, base);
    const int32_t theirs = MultiplicityOf(other, base);
    int32_t sign = generator.Below(2) != 0 ? 1 : -1;
    if (mine == theirs) sign = -1;
    if (mine == -theirs) sign = 1;
    if (recipe.sumsOnly) sign = 1;
    const int32_t terms = CombineTerms(current, other, sign, merged);
    if (terms == 0 || terms >= kMaxTerms) return false;
    current.termCount = merged.termCount;
    std::copy(merged.terms, merged.terms + merged.termCount, current.terms);
    used.push_back(partner);
  }
  if (current.termCount < recipe.fewestTerms || current.termCount > recipe.mostTerms) return false;
  OrientRecord(current);
  out = current;
  return true;
}

// Fills the store with 10000 distinct combinations and writes DATABASE.TXT
// (the family members) and DATA5.BIN in the current (scratch) folder.
}  // namespace

bool MakeFamilies(const FamilyRecipe& recipe, uint32_t seed) {
  Generator generator(seed);
  Families families;
  if (!BuildFamilies(recipe, generator, families)) return false;
  // DATABASE.TXT is written only after the start-up, so the store holds the
  // combinations alone: with the members beside them, the first pass would
  // do little but find them again.
  {
    MutedConsole muted;
    Init(5);
  }
  FilePtr database(std::fopen(kSeedDatabaseFile, "wt"));
  if (!database) return false;
  if (recipe.publishedOnly) {
    std::fprintf(database.get(),
                 "; %zu identities: %zu published ones, each scaled by every factor that keeps\n"
                 "; its bases up to %d (quorvex_make_store %s %u)\n",
                 families.members.size(), std::size(kPublishedIdentities), recipe.largestBase,
                 recipe.shape, seed);
  } else {
    std::fprintf(database.get(),
                 "; %zu identities: %d solutions of a seeded k = 5 search and %zu known ones,\n"
                 "; each scaled by %s%d %sfactors from %d to %d (quorvex_make_store %s %u)\n",
                 families.members.size(), recipe.families, std::size(kKnownIdentities),
                 recipe.keepUnscaled ? "1 and " : "",
                 recipe.scalesPerFamily - (recipe.keepUnscaled ? 1 : 0),
                 recipe.commonScales ? "common " : "", recipe.smallestScale, recipe.largestScale,
                 recipe.shape, seed);
  }
  for (const SolutionRecord& member : families.members) {
    std::fprintf(database.get(), "%s\n", FormatSolution(member, 5).c_str());
  }
  database.reset();
  int64_t attempts = 0;
  SolutionRecord record;
  while (gStore.count < kFullStore) {
    if (++attempts > 100 * int64_t{kFullStore}) {
      std::fprintf(stderr, "only %d distinct combinations found\n", gStore.count);
      return false;
    }
    if (!DrawCombination(recipe, generator, families, record)) continue;
    MutedConsole muted;
    InsertRecord(record, nullptr, InsertQuiet);
  }
  std::fprintf(stderr, "%zu family members, %d records from %" PRId64 " draws, %.1f CPU s\n",
               families.members.size(), gStore.count, attempts, CpuSeconds());
  SaveCheckpoint(5);
  return true;
}

}  // namespace quorvex::bench
