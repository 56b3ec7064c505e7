#include "store/solution_store.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/fatal_error.hpp"
#include "store/best_right_table.hpp"
#include "store/result_log.hpp"
#include "store/store_index.hpp"
#include "store/store_scan.hpp"

namespace quorvex {

SolutionStore gStore;

namespace {

// Copies for GlanceAtStore, written under the store's lock.
std::atomic<int32_t> gGlanceCount{0};
std::atomic<int64_t> gGlanceFewest{0};

}  // namespace

// The watches alive now, in the order they began; kept under the store's lock.
class StoreEntryWatchers {
 public:
  static std::vector<StoreEntryWatch*>& All() {
    static std::vector<StoreEntryWatch*> watches;
    return watches;
  }
  static void Tell(const SolutionRecord& record) {
    for (StoreEntryWatch* watch : All()) watch->seen_(record);
  }
};

namespace {

void NoteEntered(const SolutionRecord& record) {
  StoreEntryWatchers::Tell(record);
  const int64_t size = int64_t{record.leftCount} + record.rightCount;
  const int64_t fewest = gGlanceFewest.load(std::memory_order_relaxed);
  if (fewest == 0 || size < fewest) gGlanceFewest.store(size, std::memory_order_relaxed);
}

}  // namespace

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

// Only records with the same signature can be equal, and those share one
// chain of the index (asked exhaustively, every record is compared).
bool IsStored(const SolutionRecord& record) {
  if (GetStoreQueries() == StoreQueries::Exhaustive) {
    for (const SolutionRecord* r = gStore.inUseHead; r != nullptr; r = r->next) {
      if (SameSolution(*r, record)) return true;
    }
    return false;
  }
  const StoreIndex& index = gStoreIndex;
  for (int32_t s = index.bucketHead[record.signature & (kSignatureBuckets - 1)]; s >= 0;
       s = index.chainNext[s]) {
    if (SameSolution(gStore.slots[s], record)) return true;
  }
  return false;
}

int32_t SlotOf(const SolutionRecord* record) {
  return static_cast<int32_t>(record - gStore.slots);
}

// The eviction rule applied record by record along the in-use list.
SolutionRecord* WalkForVictim(const SolutionRecord& record) {
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

}  // namespace

std::mutex& StoreMutex() {
  static std::mutex mutex;
  return mutex;
}

StoreEntryWatch::StoreEntryWatch(std::function<void(const SolutionRecord&)> seen)
    : seen_(std::move(seen)) {
  std::lock_guard lock(StoreMutex());
  StoreEntryWatchers::All().push_back(this);
}

StoreEntryWatch::~StoreEntryWatch() {
  std::lock_guard lock(StoreMutex());
  std::erase(StoreEntryWatchers::All(), this);
}

StoreGlance GlanceAtStore() {
  return {gGlanceCount.load(std::memory_order_relaxed),
          gGlanceFewest.load(std::memory_order_relaxed)};
}

void ResetStore() {
  gStore.count = 0;
  gGlanceCount = 0;
  gGlanceFewest = 0;
  gStore.inUseHead = nullptr;
  gStore.freeHead = &gStore.slots[0];
  for (int32_t i = 0; i < kStoreSlots; ++i) {
    gStore.slots[i].termCount = 0;
    gStore.slots[i].next = i + 1 < kStoreSlots ? &gStore.slots[i + 1] : nullptr;
  }
  ResetStoreIndex();
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
  gGlanceCount.store(gStore.count, std::memory_order_relaxed);
  NoteEntered(record);
  *slot = record;
  slot->next = gStore.inUseHead;
  slot->prev = nullptr;
  if (gStore.inUseHead != nullptr) gStore.inUseHead->prev = slot;
  gStore.inUseHead = slot;
  IndexSlot(SlotOf(slot), true);
}

void RemoveRecord(SolutionRecord* target) {
  UnindexSlot(SlotOf(target));
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
  gGlanceCount.store(gStore.count, std::memory_order_relaxed);
}

void ReplaceRecord(const SolutionRecord& record, SolutionRecord* target) {
  SolutionRecord* const next = target->next;
  SolutionRecord* const prev = target->prev;
  UnindexSlot(SlotOf(target));
  *target = record;
  target->next = next;
  target->prev = prev;
  NoteEntered(record);
  IndexSlot(SlotOf(target), false);
}

// With every size below 2^22 and a positive NoteBound, notes of different
// sizes lie further apart than the single-precision rounding, so the walk
// always ends on a record of the largest size: the last one on the list when
// that size's note rounds up (or exactly) to single precision, else the first
// one. The newest record on the list has the largest sequence number.
SolutionRecord* ChooseVictim(const SolutionRecord& record) {
  const StoreIndex& index = gStoreIndex;
  const int64_t size = int64_t{record.leftCount} + record.rightCount;
  if (GetStoreQueries() == StoreQueries::Exhaustive || index.bySize.empty() ||
      gBest.NoteBound <= 0 || size < 1 || size >= kLargestIndexedSize ||
      index.bySize.begin()->first < 1 || index.bySize.rbegin()->first >= kLargestIndexedSize) {
    return WalkForVictim(record);
  }
  if (gStore.inUseHead != nullptr && gStore.inUseHead->termCount == 0) {
    FatalError("Internal bug 1\n");
  }
  const auto& [largest, records] = *index.bySize.rbegin();
  const double note = static_cast<double>(gBest.NoteBound) / static_cast<double>(largest);
  const bool roundsUp = note <= static_cast<double>(static_cast<float>(note));
  if (largest < size || (largest == size && !roundsUp)) return nullptr;
  const int32_t slot = roundsUp ? records.begin()->second : records.rbegin()->second;
  SolutionRecord* victim = &gStore.slots[slot];
  if (victim->termCount == 0) FatalError("Internal bug 1\n");
  return victim;
}

}  // namespace quorvex
