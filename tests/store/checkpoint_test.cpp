#include <sys/stat.h>

#include "store/checkpoint.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
using Checkpoint = FolderTest;

std::string Load(int32_t power) {
  return CaptureOutput([power] { EXPECT_EQ(LoadCheckpoint(power), 0); });
}

TEST_F(Checkpoint, ExampleFileByteForByteAndBack) {
  StoreQuietly({{5, 1}, {4, -1}, {3, -1}});
  SaveCheckpoint(2);
  EXPECT_EQ(ReadFile("DATA2.BIN"), Int32Bytes({1, 3, 5, 1, 4, -1, 3, -1}));
  ResetStore();
  EXPECT_EQ(Load(2), "0/1\rDATA2.BIN loaded\n");
  EXPECT_EQ(gStore.count, 1);
  EXPECT_EQ(std::pair(gStore.slots[0].leftCount, gStore.slots[0].rightCount), std::pair(1, 2));
  EXPECT_EQ(TermsOf(gStore.slots[0]), "5*1 4*-1 3*-1");

  ResetStore();
  SaveCheckpoint(2);
  EXPECT_EQ(ReadFile("DATA2.BIN"), Int32Bytes({0}));
  EXPECT_EQ(Load(2), "DATA2.BIN loaded\n");
  EXPECT_EQ(gStore.count, 0);
}

TEST_F(Checkpoint, ProgressAndLoadingThroughEviction) {
  // `count` distinct entries (i + 2, +1), (1, -(1 + i % cycle)).
  auto entries = [](int32_t count, int32_t cycle) {
    std::vector<int32_t> values{count};
    for (int32_t i = 0; i < count; ++i)
      values.insert(values.end(), {2, i + 2, 1, 1, -1 - i % cycle});
    return Int32Bytes(values);
  };
  WriteFile("DATA4.BIN", entries(25, 1));
  EXPECT_EQ(Load(4), "0/25\r10/25\r20/25\rDATA4.BIN loaded\n");
  EXPECT_EQ(gStore.count, 25);
  // n = 1, 2, 3 in turn: in the full store the larger ones make way, so all
  // 3350 solutions with n = 1 stay.
  ResetStore();
  WriteFile("DATA4.BIN", entries(10050, 3));
  Load(4);
  EXPECT_EQ(gStore.count, kStoreSlots);
  EXPECT_EQ(std::count_if(gStore.slots, gStore.slots + kStoreSlots,
                          [](const SolutionRecord& s) { return s.rightCount == 1; }),
            3350);
}

TEST_F(Checkpoint, DamagedFilesKeepWhatWasReadAndTheOriginal) {
  const std::string head = Int32Bytes({3, 2, 7, 1, 6, -1});  // R = 3, one whole entry
  // A sound entry follows each bad count: reading on would load it.
  const std::string next = Int32Bytes({2, 9, 1, 8, -1});
  const std::string damaged[] = {
      head + Int32Bytes({0}) + next, head + Int32Bytes({-1}) + next,
      head + Int32Bytes({201}) + Int32Bytes(std::vector<int32_t>(402, 1)) + next,
      head + Int32Bytes({2, 9, 1, 8}), head + Int32Bytes({1}).substr(0, 2)};
  for (int i = 0; i < 5; ++i) {
    ResetStore();
    WriteFile("DATA4.BIN", damaged[i]);
    EXPECT_EQ(Load(4), "0/3\rCorrupted bin file, continuing\nDATA4.BIN loaded\n");
    EXPECT_EQ(gStore.count, 1);
    // An earlier .bad is never written over.
    const std::string bad = i == 0 ? "DATA4.BIN.bad" : "DATA4.BIN.bad." + std::to_string(i);
    EXPECT_EQ(CaptureOutput([] { SaveCheckpoint(4); }), "Damaged DATA4.BIN kept as " + bad + "\n");
    EXPECT_EQ(ReadFile(bad), damaged[i]);
    EXPECT_EQ(ReadFile("DATA4.BIN"), Int32Bytes({1, 2, 7, 1, 6, -1}));
  }
  Load(4);  // a sound file is replaced without a copy
  EXPECT_EQ(CaptureOutput([] { SaveCheckpoint(4); }), "");
  EXPECT_FALSE(FileExists("DATA4.BIN.bad.5"));
  WriteFile("DATA4.BIN", "");
  EXPECT_EQ(Load(4), "Corrupted bin file, continuing\nDATA4.BIN loaded\n");
}

TEST_F(Checkpoint, ImpossibleTermsAreFatal) {
  for (const std::vector<int32_t>& entry : {std::vector<int32_t>{1, 2, 0, 1, 6, -1},
                                            {1, 2, 7, 0, 6, -1},
                                            {1, 2, -7, 1, 6, -1},
                                            {1, 2, 7, INT32_MIN, 6, 1},
                                            {1, 2, 7, INT32_MAX, 6, 1},
                                            // Each side fits, m + n does not.
                                            {1, 2, 7, 3, 6, -2147483645}}) {
    WriteFile("DATA4.BIN", Int32Bytes(entry));
    int32_t taken = 0;
    EXPECT_EQ(ReadCheckpoint(
                  4, [&](SolutionRecord&) { ++taken; }, false)
                  .failure,
              "Corrupted data in the file\n");
    EXPECT_EQ(taken, 0);
  }
  EXPECT_EQ(Ended([] { LoadCheckpoint(4); }),
            Outcome("0/1\rError: Corrupted data in the file\n\n", 1));
}

TEST_F(Checkpoint, FailedWriteKeepsTheOldFile) {
  StoreQuietly({{9, 1}, {8, -1}});
  SaveCheckpoint(4);
  const std::string old = ReadFile("DATA4.BIN");
  StoreQuietly({{10, 1}, {8, -1}});
  // A folder where the temporary file must go makes the write fail.
  ASSERT_EQ(mkdir("DATA4.BIN.tmp", 0755), 0);
  EXPECT_EQ(Ended([] { SaveCheckpoint(4); }), Outcome("Cannot write DATA4.BIN\n", 1));
  EXPECT_EQ(ReadFile("DATA4.BIN"), old);
}

}  // namespace
}  // namespace quorvex
