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
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/line_reader.hpp"
#include "bench/bench_support.hpp"
#include "quorvex.h"
#include "search/random.hpp"
#include "search/relation_shortening.hpp"
#include "store/checkpoint.hpp"
#include "store/seed_database.hpp"
#include "store/solution_line.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"
#include "store/store_index.hpp"
#include "store/verify.hpp"

namespace {

// Bases from here on count as large in the figures of a store, and the
// families of shape (c) are joined on them by preference.
constexpr int32_t kHighBase = 128;

using namespace quorvex;
using namespace quorvex::bench;

constexpr int32_t kFullStore = kStoreSlots;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

using Entry = std::vector<Term>;

// Reads the entries of a DATA<k>.BIN as they are on disk, without the store's
// insertion (which would drop duplicates and evict), so that every saved
// record gets checked. False when the file is missing or cut short.
bool ReadStoreEntries(const std::string& path, std::vector<Entry>& entries) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  int32_t count = 0;
  if (!ReadInt32(file.get(), count) || count < 0) return false;
  entries.assign(static_cast<size_t>(count), Entry{});
  for (Entry& entry : entries) {
    int32_t terms = 0;
    if (!ReadInt32(file.get(), terms) || terms < 1 || terms > kMaxTerms) return false;
    entry.resize(static_cast<size_t>(terms));
    for (Term& term : entry) {
      if (!ReadInt32(file.get(), term.base) || !ReadInt32(file.get(), term.multiplicity)) {
        return false;
      }
    }
  }
  return std::fgetc(file.get()) == EOF;
}

// A stored record must be a true identity, and in the form the store keeps:
// fewer than 200 Terms, bases strictly descending from at least 1, no zero
// multiplicity. Prints each failure; returns how many failed.
int32_t CheckEntries(const std::vector<Entry>& entries, int32_t power, const char* what) {
  int32_t failed = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& entry = entries[i];
    bool formed = !entry.empty() && static_cast<int32_t>(entry.size()) < kMaxTerms;
    for (size_t j = 0; j < entry.size() && formed; ++j) {
      formed = entry[j].base >= 1 && entry[j].multiplicity != 0 &&
               (j == 0 || entry[j].base < entry[j - 1].base);
    }
    const bool holds =
        formed && IdentityHolds(entry.data(), static_cast<int32_t>(entry.size()), power);
    if (holds) continue;
    if (++failed <= 5) {
      std::fprintf(stderr, "%s: record %zu %s\n", what, i,
                   formed ? "is not a true identity" : "is not in stored form");
    }
  }
  return failed;
}

// Checks every solution line of a DATABASE.TXT for the power with the
// program's own reader; returns how many lines failed (unreadable or false).
int32_t CheckDatabase(const std::string& path, int32_t power, int32_t& checked) {
  FilePtr file(std::fopen(path.c_str(), "rt"));
  checked = 0;
  if (!file) return 1;
  int32_t failed = 0;
  ParsedSolution parsed;
  std::string failure;
  LineReader reader(file.get());
  while (reader.Next() >= 0) {
    const char* line = reader.LineBuffer();
    const LineVerdict verdict =
        JudgeSolutionLine(line, power, SolutionFile::SeedDatabase, path.c_str(), parsed, failure);
    if (verdict == LineVerdict::Ignored) continue;
    ++checked;
    if (verdict == LineVerdict::Solution &&
        IdentityHolds(parsed.terms, static_cast<int32_t>(parsed.count), power)) {
      continue;
    }
    if (++failed <= 5) std::fprintf(stderr, "DATABASE.TXT: bad line %s\n", line);
  }
  return failed;
}

// The figures that tell the shapes apart: length of the records, size of
// their bases, and how many records share each base.
void Describe(const std::vector<Entry>& entries, int32_t power) {
  int64_t terms = 0;
  int64_t powers = 0;
  size_t shortest = entries.empty() ? 0 : entries[0].size();
  size_t longest = 0;
  int64_t highTerms = 0;
  int64_t hashedTerms = 0;
  int32_t largestBase = 0;
  std::vector<int32_t> recordsWithBase;
  for (const Entry& entry : entries) {
    terms += static_cast<int64_t>(entry.size());
    shortest = std::min(shortest, entry.size());
    longest = std::max(longest, entry.size());
    for (const Term& term : entry) {
      powers += std::llabs(term.multiplicity);
      largestBase = std::max(largestBase, term.base);
      if (term.base >= kHighBase) ++highTerms;
      if (term.base >= kDirectBaseLimit) ++hashedTerms;
      if (static_cast<size_t>(term.base) >= recordsWithBase.size()) {
        recordsWithBase.resize(static_cast<size_t>(term.base) + 1, 0);
      }
      ++recordsWithBase[static_cast<size_t>(term.base)];
    }
  }
  int64_t distinct = 0;
  int64_t distinctHigh = 0;
  int64_t distinctHashed = 0;
  int32_t busiest = 0;
  for (size_t base = 0; base < recordsWithBase.size(); ++base) {
    if (recordsWithBase[base] == 0) continue;
    ++distinct;
    if (base >= static_cast<size_t>(kHighBase)) ++distinctHigh;
    if (base >= static_cast<size_t>(kDirectBaseLimit)) ++distinctHashed;
    busiest = std::max(busiest, recordsWithBase[base]);
  }
  // How many others a record shares bases with, over a sample of records.
  std::vector<std::vector<int32_t>> holders(recordsWithBase.size());
  for (size_t r = 0; r < entries.size(); ++r) {
    for (const Term& term : entries[r]) {
      holders[static_cast<size_t>(term.base)].push_back(static_cast<int32_t>(r));
    }
  }
  std::vector<int32_t> shared(entries.size(), 0);
  int64_t sharingOne = 0;
  int64_t sharingFive = 0;
  int64_t sampled = 0;
  for (size_t r = 0; r < entries.size(); r += 20) {
    ++sampled;
    std::vector<int32_t> touched;
    for (const Term& term : entries[r]) {
      for (int32_t other : holders[static_cast<size_t>(term.base)]) {
        if (static_cast<size_t>(other) == r) continue;
        if (shared[static_cast<size_t>(other)]++ == 0) touched.push_back(other);
      }
    }
    for (int32_t other : touched) {
      ++sharingOne;
      if (shared[static_cast<size_t>(other)] >= 5) ++sharingFive;
      shared[static_cast<size_t>(other)] = 0;
    }
  }
  const double records = entries.empty() ? 1.0 : static_cast<double>(entries.size());
  std::printf(
      "  k=%d, %zu records; Terms %.1f on average (%zu to %zu); powers m+n %.1f on average\n",
      power, entries.size(), static_cast<double>(terms) / records, shortest, longest,
      static_cast<double>(powers) / records);
  std::printf("  largest base %d; %" PRId64 " distinct bases, %" PRId64
              " of them from %d on; %.1f%% of the Terms have a base from %d on\n",
              largestBase, distinct, distinctHigh, kHighBase,
              terms > 0 ? 100.0 * static_cast<double>(highTerms) / static_cast<double>(terms) : 0,
              kHighBase);
  std::printf(
      "  records per base: %.1f on average, %.1f for bases from %d on, at most %d\n",
      distinct > 0 ? static_cast<double>(terms) / static_cast<double>(distinct) : 0,
      distinctHigh > 0 ? static_cast<double>(highTerms) / static_cast<double>(distinctHigh) : 0,
      kHighBase, busiest);
  // The store index finds the records of these bases through a hash map
  // rather than an array.
  if (distinctHashed > 0) {
    std::printf("  %" PRId64
                " distinct bases from %d on, in %.1f%% of the Terms, %.1f records each\n",
                distinctHashed, kDirectBaseLimit,
                100.0 * static_cast<double>(hashedTerms) / static_cast<double>(terms),
                static_cast<double>(hashedTerms) / static_cast<double>(distinctHashed));
  }
  std::printf(
      "  a record shares a base with %.0f others, 5 or more bases with %.1f (every 20th record)\n",
      sampled ? static_cast<double>(sharingOne) / sampled : 0,
      sampled ? static_cast<double>(sharingFive) / sampled : 0);
}

// ---- shapes grown by the engine's own search ----

struct SearchRecipe {
  int32_t power;
  int32_t firstMaxBase;
  int32_t iterationsPerMaxBase;
  int32_t iterations;
  uint32_t defaultSeed;
};

// Runs the iterations from an empty store in the current (scratch) folder and
// leaves the store in DATA<k>.BIN there.
void GrowBySearch(const SearchRecipe& recipe, uint32_t seed) {
  {
    MutedConsole muted;
    Init(recipe.power);
  }
  quorvex::SeedRandom(seed);
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

// ---- the shape made from identities ----

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

// Shapes made from families of identities: seed solutions (of a search,
// bench/data/DATA5.BIN, and two known small identities; or published
// identities alone) each scaled by a few factors (if sum c_i a_i^k = 0 then
// sum c_i (t a_i)^k = 0), the family members written to DATABASE.TXT; the
// records are sums and differences of members chained through a shared base,
// with the sign that cancels it (or sums only).
struct FamilyRecipe {
  const char* shape;
  int32_t families;         // solutions of the search taken as seeds
  int32_t scalesPerFamily;  // scale 1 included when keepUnscaled
  bool keepUnscaled;
  // One set of factors for every family, so that a base b t is held by every
  // member whose seed holds b: a few hundred large bases, each in thousands
  // of records. Otherwise each family draws its own.
  bool commonScales;
  int32_t smallestScale;
  int32_t largestScale;
  // Members per record: uniform in [fewestParts, mostParts], or, when
  // fewestParts is 0, 2 for most records and up to 12 for a few.
  int32_t fewestParts;
  int32_t mostParts;
  // Records outside this many Terms are drawn again.
  int32_t fewestTerms;
  int32_t mostTerms;
  int32_t highInTen;  // how often (of 10) the chain goes through a base from 128 on
  // The chain's base drawn in proportion to the members holding it, which
  // piles the records onto the most shared bases.
  bool byPopularity;
  // The seeds are the published identities alone, each scaled by every
  // factor from 1 that keeps its bases up to largestBase (families,
  // scalesPerFamily and the drawn factors unused).
  bool publishedOnly;
  int32_t largestBase;
  // Every member is added, whichever sides hold the shared base.
  bool sumsOnly;
};

// (c) 500 families, each scaled by 1 and 5 factors from 2 to 64 (bases up to
// 6768 with seed 1); 2 to 12 members per record, 2 for most. Fewer families
// would let one cross-reduction pass fold most of the store back onto them;
// many more would share fewer bases.
constexpr FamilyRecipe kFamiliesRecipe{.shape = "families",
                                       .families = 500,
                                       .scalesPerFamily = 6,
                                       .keepUnscaled = true,
                                       .commonScales = false,
                                       .smallestScale = 2,
                                       .largestScale = 64,
                                       .fewestParts = 0,
                                       .mostParts = 0,
                                       .fewestTerms = 1,
                                       .mostTerms = kMaxTerms - 1,
                                       .highInTen = 8,
                                       .byPopularity = false,
                                       .publishedOnly = false,
                                       .largestBase = 0,
                                       .sumsOnly = false};
// (e) Long records, as a store of many related published identities and
// their sums and differences would hold: 12 to 32 members of 200 families
// scaled by the same 6 factors from 8 to 64, chained mostly through the most
// shared large bases. Bases stay below 16384, apart from shape (f).
constexpr FamilyRecipe kLongRecipe{.shape = "long",
                                   .families = 200,
                                   .scalesPerFamily = 6,
                                   .keepUnscaled = false,
                                   .commonScales = true,
                                   .smallestScale = 8,
                                   .largestScale = 64,
                                   .fewestParts = 12,
                                   .mostParts = 32,
                                   .fewestTerms = 60,
                                   .mostTerms = 120,
                                   .highInTen = 9,
                                   .byPopularity = true,
                                   .publishedOnly = false,
                                   .largestBase = 0,
                                   .sumsOnly = false};
// (f) Large bases: as (c), with factors from 2 to 3000, so that bases reach a
// few hundred thousand and two Terms in five have a base from 16384 on.
constexpr FamilyRecipe kLargeRecipe{.shape = "large",
                                    .families = 500,
                                    .scalesPerFamily = 6,
                                    .keepUnscaled = true,
                                    .commonScales = false,
                                    .smallestScale = 2,
                                    .largestScale = 3000,
                                    .fewestParts = 0,
                                    .mostParts = 0,
                                    .fewestTerms = 1,
                                    .mostTerms = kMaxTerms - 1,
                                    .highInTen = 8,
                                    .byPopularity = false,
                                    .publishedOnly = false,
                                    .largestBase = 0,
                                    .sumsOnly = false};

// (g) Sums of published identities with one power alone on a side: a store
// of lopsided records (3 or 4 powers against 15 or so), whose shortest
// records leave the best-size table open to every combination with a small
// side, so that a scan must count nearly every record that shares a base.
constexpr FamilyRecipe kPublishedRecipe{.shape = "published",
                                        .families = 0,
                                        .scalesPerFamily = 0,
                                        .keepUnscaled = true,
                                        .commonScales = false,
                                        .smallestScale = 1,
                                        .largestScale = 0,
                                        .fewestParts = 3,
                                        .mostParts = 5,
                                        .fewestTerms = 15,
                                        .mostTerms = 25,
                                        .highInTen = 9,
                                        .byPopularity = false,
                                        .publishedOnly = true,
                                        .largestBase = 9999,
                                        .sumsOnly = true};

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

// ---- output ----

void PrintFile(const std::filesystem::path& path) {
  const std::string bytes = Slurp(path.string());
  std::printf("%s: %zu bytes, digest %016" PRIx64 "\n", path.string().c_str(), bytes.size(),
              Fnv1a(bytes));
}

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
