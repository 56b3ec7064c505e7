#include "mpi/record_messages.hpp"

namespace quorvex {

void AppendRecord(std::vector<int32_t>& message, const SolutionRecord& record) {
  message.push_back(record.termCount);
  for (int32_t i = 0; i < record.termCount; ++i) {
    message.push_back(record.terms[i].base);
    message.push_back(record.terms[i].multiplicity);
  }
}

bool ReadRecord(const std::vector<int32_t>& message, size_t& at, SolutionRecord& record) {
  if (at >= message.size()) return false;
  const int32_t terms = message[at];
  if (terms < 1 || terms > kMaxTerms || message.size() - at - 1 < 2 * static_cast<size_t>(terms)) {
    return false;
  }
  ++at;
  for (int32_t i = 0; i < terms; ++i) {
    record.terms[i] = Term{message[at], message[at + 1]};
    at += 2;
  }
  record.next = nullptr;
  record.prev = nullptr;
  record.signature = 0;
  record.termCount = terms;
  if (!SidesFit(CountSides(record.terms, terms))) return false;
  // Records travel oriented (stored ones canonical), so this only counts.
  OrientRecord(record);
  return true;
}

}  // namespace quorvex
