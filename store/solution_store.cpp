#include "store/solution_store.hpp"
namespace quorvex {
SolutionStore gStore;
void ResetStore() {}                                             // stub
void InsertRecord(SolutionRecord&, SolutionRecord*, int32_t) {}  // stub
void EvaluateCandidate(SolutionRecord&) {}                       // stub
void AddRecord(const SolutionRecord&) {}                         // stub
void RemoveRecord(SolutionRecord*) {}                            // stub
void ReplaceRecord(const SolutionRecord&, SolutionRecord*) {}    // stub
SolutionRecord* ChooseVictim(const SolutionRecord&) {
  return nullptr;
}  // stub
}  // namespace quorvex
