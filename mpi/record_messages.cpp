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
  int64_t left = 0;
  int64_t right = 0;
  for (int32_t i = 0; i < terms; ++i) {
    const Term term{message[at], message[at + 1]};
    at += 2;
    record.terms[i] = term;
    if (term.multiplicity > 0) {
      left += term.multiplicity;
    } else {
      right -= static_cast<int64_t>(term.multiplicity);
    }
  }
  if (left + right > kMaxPowers) return false;
  record.next = nullptr;
  record.prev = nullptr;
  record.signature = 0;
  record.termCount = terms;
  record.leftCount = static_cast<int32_t>(left);
  record.rightCount = static_cast<int32_t>(right);
  return true;
}

}  // namespace quorvex
