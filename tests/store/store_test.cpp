#include "base/run_state.hpp"
#include "store/best_right_table.hpp"
#include "store/solution_record.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// The record of the Terms (m and n as given) after `step`: "m,n: Terms #signature".
template <typename Step>
std::string After(Step step, const std::vector<Term>& terms, int32_t m = 0, int32_t n = 0,
                  uint32_t signature = 0) {
  SolutionRecord r = MakeRecord(terms, m, n);
  r.signature = signature;
  step(r);
  return std::to_string(r.leftCount) + "," + std::to_string(r.rightCount) + ": " + TermsOf(r) +
         " #" + std::to_string(r.signature);
}

TEST(Record, CanonicalFormSortAndOrient) {
  const std::pair<std::string, std::string> cases[] = {
      {After(Canonicalize, {{5, -1}, {4, 1}, {3, 1}}, 2, 1), "1,2: 5*1 4*-1 3*-1 #536870912"},
      {After(Canonicalize, {{5, 2}, {4, -2}, {3, -2}}, 2, 4), "1,2: 5*1 4*-1 3*-1 #536870912"},
      {After(Canonicalize, {{5, 4}, {4, -4}, {3, -8}}, 4, 12), "1,3: 5*1 4*-1 3*-2 #2684354560"},
      // Only factors of two are taken out.
      {After(Canonicalize, {{5, 6}, {4, -6}, {3, -6}}, 6, 12), "3,6: 5*3 4*-3 3*-3 #3758096385"},
      {After(Canonicalize, {{7, 1}}, 1, 1), "1,1: 7*1 #2147483648"},
      {After(Canonicalize, {{7, -1}}, 0, 1), "0,1: 7*-1 #4294967295"},
      {After(Canonicalize, {{7, 1}}, 1, 0), "0,1: 7*-1 #4294967295"},  // m > n: negated
      // A tie keeps the signs, so a balanced record and its mirror image differ.
      {After(Canonicalize, {{9, 1}, {8, 1}, {7, -1}, {6, -1}}, 2, 2),
       "2,2: 9*1 8*1 7*-1 6*-1 #805306368"},
      {After(Canonicalize, {{9, -1}, {8, -1}, {7, 1}, {6, 1}}, 2, 2),
       "2,2: 9*-1 8*-1 7*1 6*1 #3221225472"},
      {After(SortTerms, {{3, 1}, {4, 1}, {5, -1}}, 2, 1), "2,1: 5*-1 4*1 3*1 #0"},
      // Equal bases: the first is swapped to the end.
      {After(SortTerms, {{3, 11}, {3, 22}, {5, 33}}), "0,0: 5*33 3*22 3*11 #0"},
      {After(SortTerms, {{1, 1}, {7, -2}, {4, 3}, {9, -4}, {4, 5}}, 9, 6),
       "9,6: 9*-4 7*-2 4*3 4*5 1*1 #0"},
      // Counts and orients; no signature, no halving.
      {After(OrientRecord, {{5, 1}, {4, 1}, {3, -1}}, 77, 77, 12345), "1,2: 5*-1 4*-1 3*1 #12345"},
      {After(OrientRecord, {{5, 1}, {4, -1}}), "1,1: 5*1 4*-1 #0"},
      {After(OrientRecord, {{5, 2}, {4, -4}}), "2,4: 5*2 4*-4 #0"},
      {After(OrientRecord, {}, 5, 6), "0,0:  #0"},
      // Sums beyond 32 bits saturate instead of wrapping.
      {After(OrientRecord, {{5, INT32_MAX}, {4, INT32_MAX}, {3, -1}}),
       "1,2147483647: 5*-2147483647 4*-2147483647 3*1 #0"},
  };
  for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST_F(FolderTest, InconsistentOrEmptyRecordsAreFatal) {
  for (SolutionRecord r : {
           MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 3, 4),  // even multiplicities, odd m
           MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 2, 3),  // odd n
           MakeRecord({}, 0, 0),                          // would halve for ever
           MakeRecord({{3, 0}, {2, 0}}, 0, 0),
       }) {
    EXPECT_EQ(Ended([&] { Canonicalize(r); }), Fatal("Internal error\n"));
  }
}

// The table as its entries from index 0 up to where they stay equal to the
// last, that value followed by "...", and NoteBound: "1000000 2 1 0... | 3".
std::string TableText() {
  const int32_t* b = gBest.BestRightTable;
  int32_t end = kTableSize - 1;
  while (end > 0 && b[end - 1] == b[kTableSize - 1]) --end;
  std::string s;
  for (int32_t i = 0; i <= end; ++i) s += std::to_string(b[i]) + (i == end ? "... | " : " ");
  return s + std::to_string(gBest.NoteBound);
}

TEST(BestRight, LoweringsAndTheRecomputesThatFollow) {
  // Each case: entries lowered from the initial table, then the table after
  // the lowering and after each further recompute.
  const std::pair<std::vector<std::pair<int32_t, int32_t>>, std::vector<std::string>> cases[] = {
      {{}, {"1000000... | 1000001", "1000000... | 1000000"}},
      {{{1, 2}}, {"1000000 2 1 0... | 3", "1000000 2 1 0... | 3"}},
      {{{1, 4}}, {"1000000 4 5 6 1 0... | 5", "1000000 4 5 6 1 0... | 5"}},
      {{{2, 2}}, {"1000000 1000000 2 0... | 3", "3 2 1 0... | 3", "3 2 1 0... | 3"}},
      {{{3, 3}},
       {"1000000 1000000 1000000 3 0... | 4", "4 3 2 0... | 3", "3 2 1 0... | 3",
        "3 2 1 0... | 3"}},
  };
  for (const auto& [lowered, tables] : cases) {
    ResetBestRight();
    for (const auto& [m, n] : lowered) LowerBestRight(m, n);
    for (const std::string& expected : tables) {
      EXPECT_EQ(TableText(), expected);
      RecomputeBestRight();
    }
  }
  // (2, 8) and (4, 6) both total 10: the first mirrors from 8, the second only smooths.
  ResetBestRight();
  gBest.BestRightTable[2] = 8;
  gBest.BestRightTable[4] = 6;
  RecomputeBestRight();
  EXPECT_EQ(TableText(), "1000000 1000000 8 9 6 7 8 9 2 1 0... | 10");
  EXPECT_DOUBLE_EQ(RecordNote(INT32_MAX, INT32_MAX), 10.0 / 4294967294.0);  // no wrap
}

// A distinct record per index, m = 1, n = right; its first base is index + 100.
SolutionRecord Numbered(int32_t index, int32_t right) {
  return MakeRecord({{index + 100, 1}, {2, -right}});
}

int32_t SlotOf(const SolutionRecord* r) {
  return r == nullptr ? -1 : static_cast<int32_t>(r - gStore.slots);
}

// The in-use list from its head as "slot:first base ...", checking every back link.
std::string InUse() {
  std::string list;
  int32_t count = 0;
  const SolutionRecord* previous = nullptr;
  for (const SolutionRecord* r = gStore.inUseHead; r != nullptr; previous = r, r = r->next) {
    EXPECT_EQ(r->prev, previous) << "back link of slot " << SlotOf(r);
    list += std::to_string(SlotOf(r)) + ":" + std::to_string(r->terms[0].base) + ' ';
    ++count;
  }
  EXPECT_EQ(count, gStore.count);
  if (!list.empty()) list.pop_back();
  return list;
}

std::vector<int32_t> Table() {
  return std::vector<int32_t>(gBest.BestRightTable, gBest.BestRightTable + kTableSize);
}

class StoreTest : public FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    gRun.CurrentPower = 5;
  }
  static void Insert(SolutionRecord r, int32_t mode, SolutionRecord* target = nullptr) {
    InsertRecord(r, target, mode);
  }
  // A full store of Numbered records, all with n = right but the one at oddIndex.
  static void Fill(int32_t right, int32_t oddIndex = -1, int32_t oddRight = 0) {
    for (int32_t i = 0; i < kStoreSlots; ++i) {
      Insert(Numbered(i, i == oddIndex ? oddRight : right), InsertQuiet);
    }
    ASSERT_EQ(gStore.freeHead, nullptr);
  }
};

TEST_F(StoreTest, ListOrderAndFreeSlotReuse) {
  for (int32_t i = 0; i < 3; ++i) Insert(Numbered(i, 2), InsertQuiet);
  EXPECT_EQ(InUse(), "2:102 1:101 0:100");
  EXPECT_EQ(SlotOf(gStore.freeHead), 3);
  RemoveRecord(&gStore.slots[1]);
  EXPECT_EQ(InUse(), "2:102 0:100");
  EXPECT_EQ(gStore.slots[1].termCount, 0);
  Insert(Numbered(7, 2), InsertQuiet);
  EXPECT_EQ(InUse(), "1:107 2:102 0:100");
  // Head and tail removals keep both directions intact; freed slots come back last-in first.
  RemoveRecord(&gStore.slots[1]);
  RemoveRecord(&gStore.slots[0]);
  EXPECT_EQ(InUse(), "2:102");
  EXPECT_EQ(std::tuple(SlotOf(gStore.freeHead), SlotOf(gStore.freeHead->next),
                       SlotOf(gStore.slots[1].next)),
            std::tuple(0, 1, 3));
}

TEST_F(StoreTest, InsertCanonicalizesReplacesInPlaceAndRejectsBadModes) {
  SolutionRecord r = MakeRecord({{5, -2}, {4, 2}, {3, 2}});  // m = 4, n = 2
  InsertRecord(r, nullptr, InsertQuiet);
  EXPECT_EQ(std::pair(r.leftCount, r.rightCount), std::pair(1, 2));  // canonical in place
  EXPECT_EQ(TermsOf(*gStore.inUseHead), "5*1 4*-1 3*-1");
  EXPECT_EQ(gBest.NoteBound, 3);

  Insert(Numbered(1, 4), InsertQuiet);
  Insert(Numbered(2, 4), InsertQuiet);
  ResetBestRight();
  Insert(MakeRecord({{50, 1}, {3, -1}, {2, -1}}), InsertReplace, &gStore.slots[1]);
  EXPECT_EQ(InUse(), "2:102 1:50 0:5");
  EXPECT_EQ(gBest.BestRightTable[1], 2);
  EXPECT_EQ(SlotOf(gStore.freeHead), 3);

  // An unknown mode is caught only after the log line (any mode but 0 logs).
  EXPECT_EQ(Ended([&] { Insert(Numbered(3, 1), 3); }),
            Outcome("(5,1,1) 103=2 (0,0)\nError: Internal\n\n", 1));
  EXPECT_EQ(ReadFile("DATA5.TXT"), "(5,1,2) 50=3+2 (0,0)\n(5,1,1) 103=2 (0,0)\n");
}

TEST_F(StoreTest, DuplicatesAreRejectedBeforeTheTableIsConsulted) {
  Insert(Numbered(1, 3), InsertQuiet);
  Insert(Numbered(2, 3), InsertQuiet);
  ResetBestRight();  // with the table at its start, a duplicate must still leave it alone
  const std::vector<int32_t> initial = Table();
  for (int32_t mode : {InsertQuiet, InsertLogged}) {
    Insert(Numbered(1, 3), mode);
    Insert(MakeRecord({{101, 2}, {2, -6}}), mode);  // halves to the stored record
    EXPECT_EQ(gStore.count, 2);
    EXPECT_EQ(Table(), initial);
  }
  // Same signature, counts and bases, different multiplicities: not a duplicate.
  Insert(MakeRecord({{9, 1}, {4, -2}}), InsertQuiet);
  Insert(MakeRecord({{9, -2}, {4, 1}}), InsertQuiet);
  ASSERT_EQ(gStore.count, 4);
  EXPECT_EQ(gStore.slots[2].signature, gStore.slots[3].signature);
  // Mode 2 removes the target for a duplicate of another record or of the target itself.
  Insert(Numbered(1, 3), InsertReplace, &gStore.slots[1]);
  EXPECT_EQ(InUse(), "3:9 2:9 0:101");
  Insert(Numbered(1, 3), InsertReplace, &gStore.slots[0]);
  EXPECT_EQ(InUse(), "3:9 2:9");
}

TEST_F(StoreTest, OutOfRangeRecordsAreDroppedOrRemoveTheTarget) {
  Insert(Numbered(0, 3), InsertQuiet);
  const std::vector<int32_t> before = Table();
  for (const SolutionRecord& r : {
           MakeRecord({{5, 10001}, {4, -10002}}),  // m = 10001
           MakeRecord({{5, 10000}, {4, -10001}}),  // m = 10000
           MakeRecord({{5, -1}, {4, -1}}),         // m = 0
           MakeRecord({{5, 0}, {4, 0}}),           // no non-zero multiplicity
           MakeRecord({}),                         // no Terms
       }) {
    Insert(r, InsertQuiet);
    Insert(r, InsertLogged);
    EXPECT_EQ(InUse(), "0:100");
    Insert(Numbered(9, 3), InsertQuiet);
    Insert(r, InsertReplace, gStore.inUseHead);
    EXPECT_EQ(InUse(), "0:100");
  }
  EXPECT_EQ(Table(), before);
}

TEST_F(StoreTest, OnlyImprovementsInLoggedModesReachTheResultLog) {
  gRun.CurrentPower = 3;
  std::string out = CaptureOutput([&] {
    SolutionRecord oneSided = MakeRecord({{5, 1}, {4, 1}});
    EvaluateCandidate(oneSided);  // m = 0: oriented, nothing else
    EXPECT_EQ(std::pair(oneSided.leftCount, oneSided.rightCount), std::pair(0, 2));
    SolutionRecord candidate = MakeRecord({{5, -2}, {4, 2}, {3, 4}});
    EvaluateCandidate(candidate);  // logged oriented, not halved, and not stored
    Insert(MakeRecord({{6, 1}, {5, -1}, {4, -1}, {3, -1}}), InsertQuiet);
    Insert(MakeRecord({{9, 1}, {8, -1}, {6, -1}, {1, -1}}), InsertLogged);  // no better
    Insert(MakeRecord({{5, -1}, {4, 1}, {3, 1}}), InsertLogged);
    Insert(MakeRecord({{5, -1}, {4, 1}, {3, 1}}), InsertLogged);  // duplicate
    Insert(MakeRecord({{7, 1}, {6, -1}}), InsertReplace, &gStore.slots[1]);
  });
  const std::string expected =
      "(3,2,6) 5*2=4*2+3*4 (0,0)\n(3,1,2) 5=4+3 (0,0)\n(3,1,1) 7=6 (0,0)\n";
  EXPECT_EQ(ReadFile("DATA3.TXT"), expected);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(InUse(), "2:5 1:7 0:6");
}

TEST_F(StoreTest, FullStoreOfEqualNotesEvictsOnlyWhenTheNewNoteRoundsUpOrIsExact) {
  Fill(5);              // every record has m + n = 6; slot 0 is last on the list
  gBest.NoteBound = 5;  // 5/6 rounds down in single precision
  Insert(Numbered(20000, 5), InsertLogged);
  EXPECT_EQ(InUse().find(":20100"), std::string::npos);
  ResetStore();
  Fill(6);              // m + n = 7
  gBest.NoteBound = 3;  // 3/7 rounds up: the last of the list gives way
  Insert(Numbered(20000, 6), InsertLogged);
  EXPECT_EQ(std::tuple(gStore.slots[0].terms[0].base, SlotOf(gStore.slots[0].prev),
                       SlotOf(gStore.slots[0].next)),
            std::tuple(20100, 1, -1));
  gBest.NoteBound = 7;  // exactly 1: a record with as many powers still gives way
  Insert(Numbered(20001, 6), InsertLogged);
  EXPECT_EQ(gStore.slots[0].terms[0].base, 20101);
  EXPECT_EQ(gStore.count, kStoreSlots);
}

TEST_F(StoreTest, FullStoreEvictsMostPowersAndKeepsFewer) {
  Fill(3, 4321, 9);
  Insert(Numbered(20000, 5), InsertQuiet);
  EXPECT_EQ(gStore.slots[4321].terms[0].base, 20100);
  // Every stored record now has fewer powers than a (1, 6): all stay, but the line is logged.
  ResetBestRight();
  EXPECT_EQ(CaptureOutput([&] { Insert(Numbered(30000, 6), InsertLogged); }),
            "(5,1,6) 30100=2*6 (0,0)\n");
  EXPECT_EQ(gBest.BestRightTable[1], 6);
  EXPECT_EQ(InUse().find(":30100"), std::string::npos);
  EXPECT_EQ(gStore.count, kStoreSlots);

  gStore.inUseHead->termCount = 0;  // a broken list is caught, not walked past
  EXPECT_EQ(Ended([&] { ChooseVictim(Numbered(1, 3)); }), Fatal("Internal bug 1\n"));
}

}  // namespace
}  // namespace quorvex
