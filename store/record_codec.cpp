#include "store/record_codec.hpp"

namespace quorvex {

void AppendRecord(std::vector<int32_t>& words, const SolutionRecord& record) {
  words.push_back(record.termCount);
  for (int32_t i = 0; i < record.termCount; ++i) {
    words.push_back(record.terms[i].base);
    words.push_back(record.terms[i].multiplicity);
  }
}

void AppendInt32(std::string& bytes, int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((bits >> shift) & 0xFF);
}

RecordRead ReadRecordWords(const std::function<bool(int32_t&)>& next, SolutionRecord& record) {
  int32_t termCount = 0;
  if (!next(termCount) || termCount <= 0 || termCount > kMaxTerms) return RecordRead::Damaged;
  for (int32_t j = 0; j < termCount; ++j) {
    Term& term = record.terms[j];
    if (!next(term.base) || !next(term.multiplicity)) return RecordRead::Damaged;
    if (term.base <= 0 || term.multiplicity == 0) return RecordRead::Corrupt;
  }
  const SideCounts sides = CountSides(record.terms, termCount);
  if (!SidesFit(sides)) return RecordRead::Corrupt;
  record.next = nullptr;
  record.prev = nullptr;
  record.signature = 0;
  record.termCount = termCount;
  record.leftCount = static_cast<int32_t>(sides.positive);
  record.rightCount = static_cast<int32_t>(sides.negative);
  return RecordRead::Read;
}

bool ReadRecord(const std::vector<int32_t>& words, size_t& at, SolutionRecord& record) {
  return ReadRecordWords(
             [&](int32_t& value) {
               if (at >= words.size()) return false;
               value = words[at++];
               return true;
             },
             record) == RecordRead::Read;
}

}  // namespace quorvex
