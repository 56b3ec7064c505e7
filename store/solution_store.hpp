#pragma once

#include <cstdint>
#include <functional>
#include <mutex>

#include "store/solution_record.hpp"

namespace quorvex {

constexpr int32_t kStoreSlots = 10000;

struct SolutionStore {
  SolutionRecord slots[kStoreSlots];
  SolutionRecord* freeHead;
  SolutionRecord* inUseHead;  // newest record; the list runs to older ones through next
  int32_t count;
};
extern SolutionStore gStore;

enum InsertMode : int32_t { InsertQuiet = 0, InsertLogged = 1, InsertReplace = 2 };

// The store, its index, the best-size table and the result log are shared by
// every search worker: whoever reads or changes them holds this.
std::mutex& StoreMutex();

void ResetStore();

// What a watcher of a running search may read without the store's lock: the
// number of records stored and the fewest powers (m + n) of any record that
// has entered the store since the last ResetStore (0: none yet).
struct StoreGlance {
  int32_t count;
  int64_t fewestPowers;
};
StoreGlance GlanceAtStore();

// Is told of every record that enters the store (added or put in place of
// another), in canonical form and under the store's lock, for as long as it
// lives: merge counts what is new to the folder, a search spread over
// processes passes such records on to the others.
class StoreEntryWatch {
 public:
  explicit StoreEntryWatch(std::function<void(const SolutionRecord&)> seen);
  ~StoreEntryWatch();
  StoreEntryWatch(const StoreEntryWatch&) = delete;
  StoreEntryWatch& operator=(const StoreEntryWatch&) = delete;

 private:
  friend class StoreEntryWatchers;
  std::function<void(const SolutionRecord&)> seen_;
};
// Canonicalizes the record in place, rejects duplicates and out-of-range m,
// logs and lowers the table on improvement (modes 1 and 2), then adds it,
// evicts for it, or replaces target (mode 2).
void InsertRecord(SolutionRecord& record, SolutionRecord* target, int32_t mode);
// Orients a candidate; logs it and lowers the table when it improves it.
void EvaluateCandidate(SolutionRecord& record);

void AddRecord(const SolutionRecord& record);
void RemoveRecord(SolutionRecord* target);
void ReplaceRecord(const SolutionRecord& record, SolutionRecord* target);
SolutionRecord* ChooseVictim(const SolutionRecord& record);

}  // namespace quorvex
