#pragma once

#include <cstdint>

#include "search/search_limits.hpp"
#include "store/solution_record.hpp"

namespace quorvex {

constexpr int32_t kRelationRows = 600;

// The fixed tables of one search iteration.
struct SearchTables {
  int32_t BasePool[kBasePoolSize];
  int32_t BaseOrder[kMaxWorkTerms];
  int32_t RelationTable[kRelationRows][kMaxWorkTerms];
  int32_t relationCount;  // R: rows extracted from the reduced lattice
  int32_t workTerms;      // WorkTerms of the iteration that filled the tables
};
// Each searching thread has its own tables.
extern thread_local constinit SearchTables gSearch;

// Where the time of the iterations goes, accumulated over the run; read by the
// benchmark, never printed by the program.
struct SearchTiming {
  double reductionSeconds;  // inside the lattice reduction
  double totalSeconds;      // whole iterations, reduction included
  double storeSeconds;      // holding the store, which workers take one at a time
  int64_t iterations;       // iterations that reached the reduction
};
extern thread_local constinit SearchTiming gSearchTiming;

// The bases an iteration draws for the WORKTERMS parameter: 0 means the
// larger of MaxBase and the block size, at most kMaxWorkTerms. An iteration
// whose count exceeds MaxBase draws nothing.
int32_t IterationWorkTerms(int32_t workTerms, int32_t maxBase, int32_t blockSize);

// One randomised search: draw and print the bases, reduce the lattice, extract
// the relations, then shorten and harvest them into the store. A workTerms of
// 0 is the automatic choice (IterationWorkTerms). Arguments beyond the limits
// are refused with a message and nothing else happens. Returns false
// when a stop cut it short; the store then holds what the harvest had inserted.
bool SearchIteration(int32_t k, int32_t maxBase, int32_t blockSize, int32_t workTerms);

// Fills BasePool as an iteration does: the shuffled tail 5..maxBase-1 behind
// maxBase, 1, 2, 3, 4, then the first n entries shuffled into row order.
void DrawBases(int32_t maxBase, int32_t n);
void Shuffle(int32_t* values, int32_t count);
int32_t RandomBelow(int32_t a);
void OrderBases(int32_t count);

}  // namespace quorvex
