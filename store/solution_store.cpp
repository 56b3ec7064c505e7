#include "store/solution_store.hpp"

#include <cstdint>

#include "control/fatal_error.hpp"
#include "store/best_right_table.hpp"
#include "store/result_log.hpp"

namespace quorvex {

SolutionStore gStore;

namespace {

// Records without a usable multiplicity would never leave the halving loop of
// Canonicalize; they are treated like any other record out of range.
bool HasNonZeroTerm(const SolutionRecord& record) {
  if (record.termCount < 1 || record.termCount > kMaxTerms) return false;
  for (int32_t i = 0; i < record.termCount; ++i) {
    if (record.terms[i].multiplicity != 0) return true;
  }
  return false;
}

bool SameSolution(const SolutionRecord& a, const SolutionRecord& b) {
  // The signature rejects almost every stored record on its own.
  if (a.signature != b.signature || a.leftCount != b.leftCount || a.rightCount != b.rightCount ||
      a.termCount != b.termCount) {
    return false;
  }
  for (int32_t i = 0; i < a.termCount; ++i) {
    if (a.terms[i].base != b.terms[i].base || a.terms[i].multiplicity != b.terms[i].multiplicity) {
      return false;
    }
  }
  return true;
}

bool IsStored(const SolutionRecord& record) {
  for (const SolutionRecord* r = gStore.inUseHead; r != nullptr; r = r->next) {
    if (SameSolution(*r, record)) return true;
  }
  return false;
}

}  // namespace

void ResetStore() {
  gStore.count = 0;
  gStore.inUseHead = nullptr;
  gStore.freeHead = &gStore.slots[0];
  for (int32_t i = 0; i < kStoreSlots; ++i) {
    gStore.slots[i].termCount = 0;
    gStore.slots[i].next = i + 1 < kStoreSlots ? &gStore.slots[i + 1] : nullptr;
  }
}

void InsertRecord(SolutionRecord& record, SolutionRecord* target, int32_t mode) {
  if (!HasNonZeroTerm(record)) {
    if (mode == InsertReplace) RemoveRecord(target);
    return;
  }
  Canonicalize(record);
  const int32_t m = record.leftCount;
  const int32_t n = record.rightCount;
  if (m < 1 || m >= kTableSize) {
    if (mode == InsertReplace) RemoveRecord(target);
    return;
  }
  if (IsStored(record)) {
    if (mode == InsertReplace) RemoveRecord(target);
    return;
  }
  if (n < gBest.BestRightTable[m]) {
    // The log line goes out before the table moves, so it shows the old bound beaten.
    if (mode != InsertQuiet) LogSolution(record);
    LowerBestRight(m, n);
  }
  switch (mode) {
    case InsertQuiet:
    case InsertLogged:
      AddRecord(record);
      break;
    case InsertReplace:
      ReplaceRecord(record, target);
      break;
    default:
      FatalError("Internal\n");
  }
}

void EvaluateCandidate(SolutionRecord& record) {
  OrientRecord(record);
  if (BestRightImproves(record.leftCount, record.rightCount)) {
    LogSolution(record);
    LowerBestRight(record.leftCount, record.rightCount);
  }
}

void AddRecord(const SolutionRecord& record) {
  if (gStore.freeHead == nullptr) {
    if (SolutionRecord* victim = ChooseVictim(record)) ReplaceRecord(record, victim);
    return;
  }
  SolutionRecord* slot = gStore.freeHead;
  gStore.freeHead = slot->next;
  gStore.count += 1;
  *slot = record;
  slot->next = gStore.inUseHead;
  slot->prev = nullptr;
  if (gStore.inUseHead != nullptr) gStore.inUseHead->prev = slot;
  gStore.inUseHead = slot;
}

void RemoveRecord(SolutionRecord* target) {
  if (target->prev == nullptr) {
    gStore.inUseHead = target->next;
  } else {
    target->prev->next = target->next;
  }
  if (target->next != nullptr) target->next->prev = target->prev;
  target->next = gStore.freeHead;
  gStore.freeHead = target;
  target->termCount = 0;
  gStore.count -= 1;
}

void ReplaceRecord(const SolutionRecord& record, SolutionRecord* target) {
  SolutionRecord* const next = target->next;
  SolutionRecord* const prev = target->prev;
  *target = record;
  target->next = next;
  target->prev = prev;
}

SolutionRecord* ChooseVictim(const SolutionRecord& record) {
  // The bound is kept in single precision while notes are compared in double;
  // which of several equal notes is chosen depends on that rounding.
  float t = static_cast<float>(RecordNote(record.leftCount, record.rightCount));
  SolutionRecord* victim = nullptr;
  for (SolutionRecord* r = gStore.inUseHead; r != nullptr; r = r->next) {
    if (r->termCount == 0) FatalError("Internal bug 1\n");
    const double note = RecordNote(r->leftCount, r->rightCount);
    if (note <= static_cast<double>(t)) {
      victim = r;
      t = static_cast<float>(note);
    }
  }
  return victim;
}

}  // namespace quorvex
