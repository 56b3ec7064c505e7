#include <sys/stat.h>
#include <unistd.h>

#include "store/checkpoint.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
class Checkpoint : public FolderTest {};

// `count` distinct entries (i + 2, +1), (1, -(1 + i % cycle)).
std::string Entries(int32_t count, int32_t cycle) {
  std::vector<int32_t> values{count};
  for (int32_t i = 0; i < count; ++i) values.insert(values.end(), {2, i + 2, 1, 1, -1 - i % cycle});
  return Int32Bytes(values);
}

TEST_F(Checkpoint, ExampleFileByteForByteAndBack) {
  SolutionRecord r = MakeRecord({{5, 1}, {4, -1}, {3, -1}});
  InsertRecord(r, nullptr, InsertQuiet);
  SaveCheckpoint(2);
  EXPECT_EQ(ReadFile("DATA2.BIN"), Int32Bytes({1, 3, 5, 1, 4, -1, 3, -1}));
  ResetStore();
  EXPECT_EQ(CaptureOutput([] { LoadCheckpoint(2); }), "0/1\rDATA2.BIN loaded\n");
  const SolutionRecord& s = gStore.slots[0];
  EXPECT_EQ(std::vector<int32_t>({gStore.count, s.leftCount, s.rightCount, s.termCount,
                                  s.terms[1].base, s.terms[2].multiplicity}),
            std::vector<int32_t>({1, 1, 2, 3, 4, -1}));

  ResetStore();
  SaveCheckpoint(2);
  EXPECT_EQ(ReadFile("DATA2.BIN"), Int32Bytes({0}));
  EXPECT_EQ(CaptureOutput([] { LoadCheckpoint(2); }), "DATA2.BIN loaded\n");
  EXPECT_EQ(gStore.count, 0);
}

TEST_F(Checkpoint, ProgressAndLoadingThroughEviction) {
  WriteFile("DATA4.BIN", Entries(25, 1));
  EXPECT_EQ(CaptureOutput([] { LoadCheckpoint(4); }), "0/25\r10/25\r20/25\rDATA4.BIN loaded\n");
  EXPECT_EQ(gStore.count, 25);
  // n = 1, 2, 3 in turn: in the full store the larger ones make way, so all
  // 3350 solutions with n = 1 stay.
  ResetStore();
  WriteFile("DATA4.BIN", Entries(10050, 3));
  CaptureOutput([] { LoadCheckpoint(4); });
  EXPECT_EQ(gStore.count, kStoreSlots);
  int32_t smallest = 0;
  for (const SolutionRecord& s : gStore.slots) smallest += s.rightCount == 1 ? 1 : 0;
  EXPECT_EQ(smallest, 3350);
}

TEST_F(Checkpoint, DamagedFilesKeepWhatWasReadAndTheOriginal) {
  const std::string head = Int32Bytes({3, 2, 7, 1, 6, -1});  // R = 3, one whole entry
  // A sound entry follows each bad count: reading on would load it.
  const std::string next = Int32Bytes({2, 9, 1, 8, -1}),
                    many = Int32Bytes(std::vector<int32_t>(402, 1));
  const std::string damaged[] = {head + Int32Bytes({0}) + next, head + Int32Bytes({-1}) + next,
                                 head + Int32Bytes({201}) + many + next,
                                 head + Int32Bytes({2, 9, 1, 8}),
                                 head + Int32Bytes({1}).substr(0, 2)};
  for (int i = 0; i < 5; ++i) {
    ResetStore();
    WriteFile("DATA4.BIN", damaged[i]);
    EXPECT_EQ(CaptureOutput([] { LoadCheckpoint(4); }),
              "0/3\rCorrupted bin file, continuing\nDATA4.BIN loaded\n");
    EXPECT_EQ(gStore.count, 1);
    // An earlier .bad is never written over.
    const std::string bad = i == 0 ? "DATA4.BIN.bad" : "DATA4.BIN.bad." + std::to_string(i);
    EXPECT_EQ(CaptureOutput([] { SaveCheckpoint(4); }), "Damaged DATA4.BIN kept as " + bad + "\n");
    EXPECT_EQ(ReadFile(bad), damaged[i]);
    EXPECT_EQ(ReadFile("DATA4.BIN"), Int32Bytes({1, 2, 7, 1, 6, -1}));
  }
  CaptureOutput([] { LoadCheckpoint(4); });  // a sound file is replaced without a copy
  EXPECT_EQ(CaptureOutput([] { SaveCheckpoint(4); }), "");
  EXPECT_FALSE(FileExists("DATA4.BIN.bad.5"));
  WriteFile("DATA4.BIN", "");
  EXPECT_EQ(CaptureOutput([] { LoadCheckpoint(4); }),
            "Corrupted bin file, continuing\nDATA4.BIN loaded\n");
}

TEST_F(Checkpoint, ImpossibleTermsAreFatal) {
  const std::vector<int32_t> entries[] = {{1, 2, 0, 1, 6, -1},
                                          {1, 2, 7, 0, 6, -1},
                                          {1, 2, -7, 1, 6, -1},
                                          {1, 2, 7, INT32_MIN, 6, 1},
                                          {1, 2, 7, INT32_MAX, 6, 1},
                                          // Each side fits, m + n does not.
                                          {1, 2, 7, 3, 6, -2147483645}};
  for (const auto& entry : entries) {
    WriteFile("DATA4.BIN", Int32Bytes(entry));
    int32_t taken = 0;
    const CheckpointReading reading = ReadCheckpoint(
        4, [&](SolutionRecord&) { ++taken; }, false);
    EXPECT_EQ(reading.failure, "Corrupted data in the file\n");
    EXPECT_EQ(taken, 0);
  }
  EXPECT_EQ(Ended([] { LoadCheckpoint(4); }),
            Outcome("0/1\rError: Corrupted data in the file\n\n", 1));
}

TEST_F(Checkpoint, FailedWriteKeepsTheOldFile) {
  SolutionRecord r = MakeRecord({{9, 1}, {8, -1}});
  InsertRecord(r, nullptr, InsertQuiet);
  SaveCheckpoint(4);
  const std::string old = ReadFile("DATA4.BIN");
  r.terms[0].base = 10;
  InsertRecord(r, nullptr, InsertQuiet);
  // Permissions do not stop root; a folder in the temporary file's place does.
  ASSERT_EQ(geteuid() == 0 ? mkdir("DATA4.BIN.tmp", 0755) : chmod(".", 0555), 0);
  Outcome o = Ended([] { SaveCheckpoint(4); });
  chmod(".", 0755);
  EXPECT_EQ(o, Outcome("Cannot write DATA4.BIN\n", 1));
  EXPECT_EQ(ReadFile("DATA4.BIN"), old);
}

}  // namespace
}  // namespace quorvex
