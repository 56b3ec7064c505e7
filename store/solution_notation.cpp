#include "store/solution_notation.hpp"

#include <cstdio>

#include "base/run_state.hpp"
#include "store/best_right_table.hpp"

namespace quorvex {

namespace {

void AppendTerm(std::string& text, int32_t base, int64_t copies) {
  text += std::to_string(base);
  if (copies > 1) {
    text += '*';
    text += std::to_string(copies);
  }
}

}  // namespace

std::string FormatSolution(const SolutionRecord& record, int32_t power) {
  char header[48];
  std::snprintf(header, sizeof header, "(%d,%d,%d) ", power, record.leftCount, record.rightCount);
  std::string text = header;
  bool written = false;
  for (int32_t i = 0; i < record.termCount; ++i) {
    const Term& term = record.terms[i];
    if (term.multiplicity <= 0) continue;
    if (written) text += '+';
    AppendTerm(text, term.base, term.multiplicity);
    written = true;
  }
  text += '=';
  written = false;
  for (int32_t i = 0; i < record.termCount; ++i) {
    const Term& term = record.terms[i];
    if (term.multiplicity >= 0) continue;
    if (written) text += '+';
    // Widened before negating: the most negative 32-bit value has no positive twin.
    AppendTerm(text, term.base, -static_cast<int64_t>(term.multiplicity));
    written = true;
  }
  return text;
}

void PrintSolutionNote(const SolutionRecord& record) {
  const double powers = static_cast<double>(static_cast<int64_t>(record.leftCount) +
                                            static_cast<int64_t>(record.rightCount));
  std::printf("%s(Note: %f)\n", FormatSolution(record, gRun.CurrentPower).c_str(),
              static_cast<double>(gBest.NoteBound) / powers);
}

}  // namespace quorvex
