#include "store/solution_notation.hpp"
namespace quorvex {
std::string FormatSolution(const SolutionRecord&, int32_t) {
  return {};
}  // stub
void ParseSolutionLine(int32_t, const char*, ParsedSolution& out) {
  out = {};
}  // stub
void PrintSolutionNote(const SolutionRecord&) {}  // stub
}  // namespace quorvex
