#pragma once

#include <cstdint>

#include "store/solution_record.hpp"

namespace quorvex::bench {

// Shapes made from families of identities: seed solutions (of a search,
// bench/data/DATA5.BIN, and two known small identities; or published
// identities alone) each scaled by a few factors (if sum c_i a_i^k = 0 then
// sum c_i (t a_i)^k = 0), the family members written to DATABASE.TXT; the
// records are sums and differences of members chained through a shared base,
// with the sign that cancels it (or sums only).
struct FamilyRecipe {
  const char* shape = "";
  int32_t families = 500;       // solutions of the search taken as seeds
  int32_t scalesPerFamily = 6;  // scale 1 included when keepUnscaled
  bool keepUnscaled = true;
  // One set of factors for every family, so that a base b t is held by every
  // member whose seed holds b: a few hundred large bases, each in thousands
  // of records. Otherwise each family draws its own.
  bool commonScales = false;
  int32_t smallestScale = 2;
  int32_t largestScale = 64;
  // Members per record: uniform in [fewestParts, mostParts], or, when
  // fewestParts is 0, 2 for most records and up to 12 for a few.
  int32_t fewestParts = 0;
  int32_t mostParts = 0;
  // Records outside this many Terms are drawn again.
  int32_t fewestTerms = 1;
  int32_t mostTerms = kMaxTerms - 1;
  int32_t highInTen = 8;  // how often (of 10) the chain goes through a base from 128 on
  // The chain's base drawn in proportion to the members holding it, which
  // piles the records onto the most shared bases.
  bool byPopularity = false;
  // The seeds are the published identities alone, each scaled by every
  // factor from 1 that keeps its bases up to largestBase (families,
  // scalesPerFamily and the drawn factors unused).
  bool publishedOnly = false;
  int32_t largestBase = 0;
  // Every member is added, whichever sides hold the shared base.
  bool sumsOnly = false;
};

// (c) 500 families, each scaled by 1 and 5 factors from 2 to 64 (bases up to
// 6768 with seed 1); 2 to 12 members per record, 2 for most. Fewer families
// would let one cross-reduction pass fold most of the store back onto them;
// many more would share fewer bases.
constexpr FamilyRecipe kFamiliesRecipe{.shape = "families"};
// (e) Long records, as a store of many related published identities and
// their sums and differences would hold: 12 to 32 members of 200 families
// scaled by the same 6 factors from 8 to 64, chained mostly through the most
// shared large bases. Bases stay below 16384, apart from shape (f).
constexpr FamilyRecipe kLongRecipe{.shape = "long",
                                   .families = 200,
                                   .keepUnscaled = false,
                                   .commonScales = true,
                                   .smallestScale = 8,
                                   .fewestParts = 12,
                                   .mostParts = 32,
                                   .fewestTerms = 60,
                                   .mostTerms = 120,
                                   .highInTen = 9,
                                   .byPopularity = true};
// (f) Large bases: as (c), with factors from 2 to 3000, so that bases reach a
// few hundred thousand and two Terms in five have a base from 16384 on.
constexpr FamilyRecipe kLargeRecipe{.shape = "large", .largestScale = 3000};

// (g) Sums of published identities with one power alone on a side: a store
// of lopsided records (3 or 4 powers against 15 or so), whose shortest
// records leave the best-size table open to every combination with a small
// side, so that a scan must count nearly every record that shares a base.
constexpr FamilyRecipe kPublishedRecipe{.shape = "published",
                                        .families = 0,
                                        .scalesPerFamily = 0,
                                        .smallestScale = 1,
                                        .largestScale = 0,
                                        .fewestParts = 3,
                                        .mostParts = 5,
                                        .fewestTerms = 15,
                                        .mostTerms = 25,
                                        .highInTen = 9,
                                        .publishedOnly = true,
                                        .largestBase = 9999,
                                        .sumsOnly = true};

// Makes the store and DATABASE.TXT of a shape in the current (scratch) folder.
bool MakeFamilies(const FamilyRecipe& recipe, uint32_t seed);

}  // namespace quorvex::bench
