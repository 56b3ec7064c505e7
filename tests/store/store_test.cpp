#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "control/run_state.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using testing_support::CaptureOutput;
using testing_support::FolderTest;

using TermList = std::initializer_list<std::pair<int32_t, int32_t>>;

// Builds a record the way the search delivers it: descending bases, counts filled in.
SolutionRecord MakeRecord(TermList terms) {
  SolutionRecord r{};
  for (const auto& [base, multiplicity] : terms) {
    r.terms[r.termCount++] = Term{base, multiplicity};
    if (multiplicity > 0) {
      r.leftCount += multiplicity;
    } else {
      r.rightCount -= multiplicity;
    }
  }
  return r;
}

// A distinct record per index with m = 1 and n = right.
SolutionRecord Numbered(int32_t index, int32_t right) {
  return MakeRecord({{index + 100, 1}, {2, -right}});
}

int32_t SlotOf(const SolutionRecord* r) {
  return r == nullptr ? -1 : static_cast<int32_t>(r - gStore.slots);
}

std::vector<int32_t> InUseSlots() {
  std::vector<int32_t> slots;
  const SolutionRecord* previous = nullptr;
  for (const SolutionRecord* r = gStore.inUseHead; r != nullptr; r = r->next) {
    EXPECT_EQ(r->prev, previous) << "back link of slot " << SlotOf(r);
    slots.push_back(SlotOf(r));
    previous = r;
  }
  return slots;
}

std::vector<int32_t> TableCopy() {
  return std::vector<int32_t>(gBest.BestRightTable, gBest.BestRightTable + kTableSize);
}

class StoreTest : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    gRun.CurrentPower = 5;
  }
  void Insert(SolutionRecord r, int32_t mode, SolutionRecord* target = nullptr) {
    InsertRecord(r, target, mode);
  }
  void FillWith(int32_t right) {
    for (int32_t i = 0; i < kStoreSlots; ++i) Insert(Numbered(i, right), InsertQuiet);
    ASSERT_EQ(gStore.count, kStoreSlots);
    ASSERT_EQ(gStore.freeHead, nullptr);
  }
};

TEST_F(StoreTest, ResetLinksEveryFreeSlotInOrder) {
  gStore.slots[17].termCount = 3;
  ResetStore();
  EXPECT_EQ(gStore.count, 0);
  EXPECT_EQ(gStore.inUseHead, nullptr);
  int32_t walked = 0;
  for (const SolutionRecord* r = gStore.freeHead; r != nullptr; r = r->next) {
    ASSERT_EQ(SlotOf(r), walked);
    EXPECT_EQ(r->termCount, 0);
    ++walked;
  }
  EXPECT_EQ(walked, kStoreSlots);
}

TEST_F(StoreTest, ListsAndFreeSlotReuse) {
  for (int32_t i = 0; i < 3; ++i) Insert(Numbered(i, 2), InsertQuiet);
  EXPECT_EQ(InUseSlots(), (std::vector<int32_t>{2, 1, 0}));
  EXPECT_EQ(gStore.count, 3);
  EXPECT_EQ(gStore.slots[1].terms[0].base, 101);
  EXPECT_EQ(SlotOf(gStore.freeHead), 3);

  RemoveRecord(&gStore.slots[1]);
  EXPECT_EQ(InUseSlots(), (std::vector<int32_t>{2, 0}));
  EXPECT_EQ(gStore.slots[1].termCount, 0);
  EXPECT_EQ(gStore.count, 2);
  Insert(Numbered(7, 2), InsertQuiet);
  EXPECT_EQ(InUseSlots(), (std::vector<int32_t>{1, 2, 0}));
  EXPECT_EQ(gStore.slots[1].terms[0].base, 107);
  EXPECT_EQ(gStore.count, 3);
  EXPECT_EQ(SlotOf(gStore.freeHead), 3);

  // Removing the head and the tail keeps both directions of the list intact.
  RemoveRecord(&gStore.slots[1]);
  RemoveRecord(&gStore.slots[0]);
  EXPECT_EQ(InUseSlots(), (std::vector<int32_t>{2}));
  EXPECT_EQ(SlotOf(gStore.freeHead), 0);
  EXPECT_EQ(SlotOf(gStore.freeHead->next), 1);
}

TEST_F(StoreTest, InsertCanonicalizesAndLowersTheTable) {
  SolutionRecord r = MakeRecord({{5, -2}, {4, 2}, {3, 2}});  // m = 4, n = 2
  InsertRecord(r, nullptr, InsertQuiet);
  EXPECT_EQ(r.leftCount, 1);  // the caller's record is canonicalized in place
  EXPECT_EQ(r.rightCount, 2);
  const SolutionRecord& stored = *gStore.inUseHead;
  EXPECT_EQ(stored.leftCount, 1);
  EXPECT_EQ(stored.rightCount, 2);
  EXPECT_EQ(stored.terms[0].multiplicity, 1);
  EXPECT_EQ(stored.signature, 536870912u);
  EXPECT_EQ(gBest.BestRightTable[1], 2);
  EXPECT_EQ(gBest.NoteBound, 3);
}

TEST_F(StoreTest, DuplicatesAreRejectedBeforeTheTableIsConsulted) {
  Insert(Numbered(1, 3), InsertQuiet);
  Insert(Numbered(2, 3), InsertQuiet);
  // With the table back at its start, a duplicate must still leave it alone.
  ResetBestRight();
  const std::vector<int32_t> before = TableCopy();
  for (int32_t mode : {InsertQuiet, InsertLogged}) {
    Insert(Numbered(1, 3), mode);
    EXPECT_EQ(gStore.count, 2) << "mode " << mode;
    EXPECT_EQ(TableCopy(), before) << "mode " << mode;
    EXPECT_EQ(gBest.NoteBound, 1000001);
  }
  // The same multiplicities given doubled halve to the stored record.
  Insert(MakeRecord({{101, 2}, {2, -6}}), InsertQuiet);
  EXPECT_EQ(gStore.count, 2);
  // Mode 2: a duplicate of another record removes the target...
  Insert(Numbered(1, 3), InsertReplace, &gStore.slots[1]);
  EXPECT_EQ(gStore.count, 1);
  EXPECT_EQ(InUseSlots(), (std::vector<int32_t>{0}));
  EXPECT_EQ(TableCopy(), before);
  // ...and so does a duplicate of the target itself.
  Insert(Numbered(1, 3), InsertReplace, &gStore.slots[0]);
  EXPECT_EQ(gStore.count, 0);
  EXPECT_EQ(gStore.inUseHead, nullptr);
}

TEST_F(StoreTest, OutOfRangeRecordsAreDroppedOrRemoveTheTarget) {
  Insert(Numbered(0, 3), InsertQuiet);
  Insert(Numbered(1, 3), InsertQuiet);
  const std::vector<int32_t> before = TableCopy();
  const std::vector<SolutionRecord> outOfRange = {
      MakeRecord({{5, 10001}, {4, -10002}}),  // m = 10001
      MakeRecord({{5, 10000}, {4, -10001}}),  // m = 10000
      MakeRecord({{5, -1}, {4, -1}}),         // m = 0
      MakeRecord({{5, 0}, {4, 0}}),           // no non-zero multiplicity
      MakeRecord({}),                         // no Terms
  };
  for (const SolutionRecord& r : outOfRange) {
    for (int32_t mode : {InsertQuiet, InsertLogged}) {
      int status = -1;
      CaptureOutput([&] { Insert(r, mode); }, &status);
      EXPECT_EQ(status, -1);
      EXPECT_EQ(gStore.count, 2);
      EXPECT_EQ(TableCopy(), before);
    }
  }
  for (size_t i = 0; i < 2; ++i) {
    SolutionRecord* head = gStore.inUseHead;
    Insert(outOfRange[i], InsertReplace, head);
    EXPECT_EQ(head->termCount, 0);
  }
  EXPECT_EQ(gStore.count, 0);
  for (size_t i = 2; i < outOfRange.size(); ++i) {
    Insert(Numbered(5, 3), InsertQuiet);
    Insert(outOfRange[i], InsertReplace, gStore.inUseHead);
    EXPECT_EQ(gStore.count, 0) << "record " << i;
  }
  EXPECT_EQ(TableCopy(), before);
}

TEST_F(StoreTest, ReplaceKeepsThePlaceInTheList) {
  for (int32_t i = 0; i < 3; ++i) Insert(Numbered(i, 4), InsertQuiet);
  EXPECT_EQ(gBest.BestRightTable[1], 4);
  Insert(MakeRecord({{50, 1}, {3, -1}, {2, -1}}), InsertReplace, &gStore.slots[1]);
  EXPECT_EQ(InUseSlots(), (std::vector<int32_t>{2, 1, 0}));
  EXPECT_EQ(gStore.count, 3);
  EXPECT_EQ(gStore.slots[1].terms[0].base, 50);
  EXPECT_EQ(gStore.slots[1].rightCount, 2);
  EXPECT_EQ(gBest.BestRightTable[1], 2);
  EXPECT_EQ(SlotOf(gStore.freeHead), 3);
}

TEST_F(StoreTest, InvalidModeIsFatalOnlyAfterTheTableStep) {
  int status = 0;
  std::string out = CaptureOutput([&] { Insert(Numbered(3, 6), 3); }, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("Error: Internal\n"), std::string::npos);
  EXPECT_EQ(gBest.BestRightTable[1], 6);
  EXPECT_EQ(gStore.count, 0);
}

TEST_F(StoreTest, EvaluateOrientsAndLowersWithoutCanonicalizing) {
  SolutionRecord oneSided = MakeRecord({{5, 1}, {4, 1}});
  EvaluateCandidate(oneSided);
  EXPECT_EQ(oneSided.leftCount, 0);
  EXPECT_EQ(oneSided.rightCount, 2);
  EXPECT_EQ(oneSided.terms[0].multiplicity, -1);
  EXPECT_EQ(gBest.NoteBound, 1000001);

  SolutionRecord r = MakeRecord({{5, -2}, {4, 2}, {3, 4}});
  r.signature = 99;
  EvaluateCandidate(r);
  EXPECT_EQ(r.leftCount, 2);  // oriented but not halved
  EXPECT_EQ(r.rightCount, 6);
  EXPECT_EQ(r.terms[0].multiplicity, 2);
  EXPECT_EQ(r.terms[2].multiplicity, -4);
  EXPECT_EQ(r.signature, 99u);
  EXPECT_EQ(gBest.BestRightTable[2], 6);
  EXPECT_EQ(gStore.count, 0);
}

TEST_F(StoreTest, FullStoreDropsWhenTheNewNoteRoundsDown) {
  FillWith(5);          // every record m + n = 6
  gBest.NoteBound = 5;  // 5/6 rounds down in single precision
  Insert(Numbered(20000, 5), InsertLogged);
  EXPECT_EQ(gStore.count, kStoreSlots);
  int32_t changed = 0;
  for (int32_t i = 0; i < kStoreSlots; ++i) {
    if (gStore.slots[i].terms[0].base != i + 100) ++changed;
  }
  EXPECT_EQ(changed, 0);
}

TEST_F(StoreTest, FullStoreEvictsTheLastEqualNoteWhenItRoundsUp) {
  FillWith(6);          // every record m + n = 7
  gBest.NoteBound = 3;  // 3/7 rounds up in single precision
  Insert(Numbered(20000, 6), InsertLogged);
  // Slot 0 holds the oldest record, the last on the in-use list.
  EXPECT_EQ(gStore.slots[0].terms[0].base, 20100);
  EXPECT_EQ(SlotOf(gStore.slots[0].prev), 1);
  EXPECT_EQ(gStore.slots[0].next, nullptr);
  EXPECT_EQ(SlotOf(gStore.inUseHead), kStoreSlots - 1);
  EXPECT_EQ(gStore.slots[1].terms[0].base, 101);
  EXPECT_EQ(gStore.count, kStoreSlots);
}

TEST_F(StoreTest, FullStoreEvictsTheRecordWithMostPowers) {
  for (int32_t i = 0; i < kStoreSlots; ++i) {
    Insert(Numbered(i, i == 4321 ? 9 : 3), InsertQuiet);
  }
  Insert(Numbered(20000, 5), InsertQuiet);
  EXPECT_EQ(gStore.slots[4321].terms[0].base, 20100);
  EXPECT_EQ(gStore.slots[4321].rightCount, 5);

  // Every stored record now has fewer powers than a (1, 6): all are kept,
  // though the table still learns of it.
  ResetBestRight();
  Insert(Numbered(30000, 6), InsertLogged);
  EXPECT_EQ(gBest.BestRightTable[1], 6);
  int32_t newcomers = 0;
  for (int32_t i = 0; i < kStoreSlots; ++i) {
    if (gStore.slots[i].terms[0].base == 30100) ++newcomers;
  }
  EXPECT_EQ(newcomers, 0);
  EXPECT_EQ(gStore.count, kStoreSlots);
}

TEST_F(StoreTest, ChooseVictimStopsOnAFreeSlotInTheList) {
  Insert(Numbered(0, 3), InsertQuiet);
  gStore.inUseHead->termCount = 0;
  int status = 0;
  std::string out = CaptureOutput([&] { ChooseVictim(Numbered(1, 3)); }, &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("Error: Internal bug 1\n"), std::string::npos);
}

}  // namespace
}  // namespace quorvex
