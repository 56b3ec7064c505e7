#include "report/best_sizes.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "store/best_right_table.hpp"
#include "store/seed_database.hpp"

namespace quorvex {

namespace {

using Key = std::vector<std::pair<int32_t, int32_t>>;  // (base, multiplicity) in Term order

void SortForKey(SolutionRecord& record) {
  std::sort(record.terms, record.terms + record.termCount, [](const Term& a, const Term& b) {
    return a.base != b.base ? a.base > b.base : a.multiplicity > b.multiplicity;
  });
}

// One form per identity, so that the same solution written differently in
// two files compares equal. SortTerms leaves repeated bases in the order they
// were read, and a balanced solution may be written either way round.
Key Normalize(SolutionRecord& record) {
  Canonicalize(record);
  SortForKey(record);
  if (record.leftCount == record.rightCount && record.terms[0].multiplicity < 0) {
    for (int32_t i = 0; i < record.termCount; ++i) {
      record.terms[i].multiplicity = -record.terms[i].multiplicity;
    }
    SortForKey(record);
  }
  Key key;
  key.reserve(static_cast<size_t>(record.termCount));
  for (int32_t i = 0; i < record.termCount; ++i) {
    key.emplace_back(record.terms[i].base, record.terms[i].multiplicity);
  }
  return key;
}

// The witness order among solutions of one size.
bool Precedes(const Key& a, const Key& b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (a[i].first != b[i].first) return a[i].first < b[i].first;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  for (size_t i = 0; i < common; ++i) {
    if (a[i].second != b[i].second) return a[i].second < b[i].second;
  }
  return false;
}

struct Candidate {
  Key key;
  BestSize row;
};

class Collector {
 public:
  SolutionSink Sink(bool seed) {
    return [this, seed](SolutionRecord& record) { Offer(record, seed); };
  }

  std::vector<BestSize> Rows() const {
    std::vector<BestSize> rows;
    rows.reserve(best_.size());
    for (const auto& [m, candidate] : best_) {
      rows.push_back(candidate.row);
      rows.back().seeded = seeds_.count(candidate.key) != 0;
    }
    return rows;
  }

 private:
  void Offer(SolutionRecord& record, bool seed) {
    Key key = Normalize(record);
    const int32_t m = record.leftCount;
    if (m < 1 || m >= kTableSize) return;
    if (seed) seeds_.insert(key);
    auto found = best_.find(m);
    if (found != best_.end()) {
      const Candidate& held = found->second;
      if (record.rightCount > held.row.n) return;
      if (record.rightCount == held.row.n && !Precedes(key, held.key)) return;
    }
    Candidate& slot = best_[m];
    slot.key = std::move(key);
    slot.row = BestSize{m, record.rightCount, record, false};
  }

  std::map<int32_t, Candidate> best_;
  std::set<Key> seeds_;
};

}  // namespace

BestSizes FindBestSizes(int32_t power) {
  BestSizes sizes;
  Collector collector;
  sizes.seeds = ReadSeedDatabase(power, collector.Sink(true),
                                 [&sizes](int32_t, int32_t) { ++sizes.longSeeds; });
  sizes.log = ReadResultLog(power, collector.Sink(false));
  sizes.checkpoint = ReadCheckpoint(power, collector.Sink(false), false);
  sizes.rows = collector.Rows();
  return sizes;
}

}  // namespace quorvex
