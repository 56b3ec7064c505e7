#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "store/solution_store.hpp"

namespace quorvex::search_testing {

// (base, multiplicity) pairs in the order they are held.
using TermList = std::vector<std::pair<int32_t, int32_t>>;

inline SolutionRecord MakeRecord(const TermList& terms) {
  SolutionRecord record{};
  for (const auto& [base, multiplicity] : terms) {
    record.terms[record.termCount++] = Term{base, multiplicity};
  }
  return record;
}

inline TermList TermsOf(const SolutionRecord& record) {
  TermList terms;
  for (int32_t i = 0; i < record.termCount; ++i) {
    terms.emplace_back(record.terms[i].base, record.terms[i].multiplicity);
  }
  return terms;
}

// Adds a solution the way the loaders do: counted, oriented, no log line.
inline void StoreQuietly(const TermList& terms) {
  SolutionRecord record = MakeRecord(terms);
  OrientRecord(record);
  InsertRecord(record, nullptr, InsertQuiet);
}

}  // namespace quorvex::search_testing
