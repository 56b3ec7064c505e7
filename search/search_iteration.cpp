#include "search/search_iteration.hpp"
namespace quorvex {
SearchTables gSearch;
void SearchIteration(int32_t, int32_t, int32_t, int32_t) {}  // stub
void Shuffle(int32_t*, int32_t) {}                           // stub
int32_t RandomBelow(int32_t) {
  return 0;
}  // stub
void OrderBases(int32_t) {}  // stub
}  // namespace quorvex
