#include "search/relation_shortening.hpp"
namespace quorvex {
HarvestState gHarvest;
int32_t ShortenRelations(int32_t relationCount, int32_t) {
  return relationCount;
}  // stub
void HarvestRelations(int32_t, int32_t) {}  // stub
void ShortenAgainstStore() {}               // stub
int32_t CombineTerms(const SolutionRecord&, const SolutionRecord&, int32_t, SolutionRecord&) {
  return 0;
}  // stub
}  // namespace quorvex
