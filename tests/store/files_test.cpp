#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>

#include "base/line_reader.hpp"
#include "base/run_state.hpp"
#include "store/best_right_table.hpp"
#include "store/checkpoint.hpp"
#include "store/record_codec.hpp"
#include "store/result_log.hpp"
#include "store/seed_database.hpp"
#include "store/solution_notation.hpp"
#include "store/solution_store.hpp"
#include "store/verify.hpp"
#include "test_support.hpp"

// Some file systems (vfat, several network mounts) have no hard links: while
// this is set, link(2) in this test program fails as it fails there.
static bool gRefuseLinks = false;
extern "C" int link(const char* from, const char* to) noexcept {
  if (gRefuseLinks) {
    errno = EPERM;
    return -1;
  }
  return linkat(AT_FDCWD, from, AT_FDCWD, to, 0);
}

namespace quorvex {
namespace {

using namespace testing_support;

using Notation = FolderTest;
using ResultLog = FolderTest;
using SeedDatabase = FolderTest;

// A line of the log, and the line that logging 2^4 = 1^4 appends.
const std::string kGood = "(4,2,2) 158+59=134+133 (0,0)\n", kLogged = "(4,1,1) 2=1 (0,0)\n";
const SolutionRecord kLoggedRecord = MakeRecord({{2, 1}, {1, -1}});

TEST_F(Notation, LinesByteForByteAndReadBackAmongOtherLines) {
  const std::string out = CaptureOutput([] {
    gRun.CurrentPower = 3;
    LogSolution(MakeRecord({{6, 1}, {5, -1}, {4, -1}, {3, -1}}));
    gRun.CurrentPower = 2;
    LogSolution(MakeRecord({{7, -1}, {5, 2}, {1, -1}}));
    gRun.CurrentPower = 3;
    LogSolution(MakeRecord({{2, 1}, {1, -8}}));
    gBest.NoteBound = 7;
    PrintSolutionNote(MakeRecord({{12, 1}, {1, 1}, {10, -1}, {9, -1}}));
    gRun.CurrentPower = 4;
    gRun.CurrentWeight = 8;
    gRun.PassCounter = 1;
    // Sides interleaved in Term order: each side keeps its own order.
    LogSolution(MakeRecord({{158, 1}, {134, -1}, {133, -1}, {59, 1}}));
    gBest.NoteBound = 4;
    PrintSolutionNote(MakeRecord({{158, 1}, {59, 1}, {134, -1}, {133, -1}}));
    PrintSolutionNote(MakeRecord({{353, 1}, {315, -1}, {272, -1}, {120, -1}, {30, -1}}));
  });
  const std::string listed = "(3,2,2) 12+1=10+9(Note: 1.750000)\n";
  EXPECT_EQ(out, "(3,1,3) 6=5+4+3 (0,0)\n(2,2,2) 5*2=7+1 (0,0)\n(3,1,8) 2=1*8 (0,0)\n" + listed +
                     "(4,2,2) 158+59=134+133 (8,1)\n(4,2,2) 158+59=134+133(Note: 1.000000)\n"
                     "(4,1,4) 353=315+272+120+30(Note: 0.800000)\n");
  EXPECT_EQ(ReadFile("DATA3.TXT"), "(3,1,3) 6=5+4+3 (0,0)\n(3,1,8) 2=1*8 (0,0)\n");
  EXPECT_EQ(ReadFile("DATA4.TXT"), "(4,2,2) 158+59=134+133 (8,1)\n");
  // A listing line, a header without its space and "+" for "=" (the counts
  // split the sides), comments, a blank line, other powers (one malformed).
  WriteFile("DATA3.TXT", ReadFile("DATA3.TXT") + "; c\n\n/ c\n" + listed +
                             "(3,2,2)9+10+12+1 (0,0)\r\n(4,2,2) 158+59=134+133 (0,0)\n(5,x\n");
  EXPECT_EQ(CaptureOutput([] { EXPECT_EQ(LoadResultLog(3), 0); }), "");
  std::string stored;
  for (const SolutionRecord& slot : gStore.slots) {
    if (slot.termCount != 0) stored += FormatSolution(slot, 3) + "\n";
  }
  EXPECT_EQ(stored, "(3,1,3) 6=5+4+3\n(3,1,8) 2=1*8\n(3,2,2) 12+1=10+9\n(3,2,2) 10+9=12+1\n");
}

TEST_F(ResultLog, EveryRefusalIsFatalWithItsMessage) {
  // A message without line end names the reason of a "Bad solution line".
  const std::pair<std::string, std::string> cases[] = {
      {"(4 2,2) 158+59=134+133", "Bad format 1\n"},
      {"(4, 2,2) 158+59=134+133 (0,0)", "Bad format 2\n"},
      {"(4,2,2 158+59=134+133", "Bad format 3\n"},
      {"(2,1,4) 2*2=1*4", "Bad number of left terms (2,1)) on (2,1,4) 2*2=1*4\n"},
      {"(3,1,8) 2=1*9", "Bad number of terms\n"},
      {" (4,2,2) 1=1", "Wrong line:  (4,2,2) 1=1\n"},
      {"4,2,2", "Wrong line: 4,2,2\n"},
      {"(4,0,0) 1=1", "no powers in the header"},
      {"(4,2,2) 158+ 59=134+133", "base 0"},
      {"(4,2,2) 158+59=134", "base 0"},
      {"(4,2,2) 0+59=134+133", "base 0"},
      {"(4,2,2) 158*0+1+1=59+1", "multiplicity 0"},
      // A Term no record may hold does not hide what the line's counts say.
      {"(4,2,2) 158*0+59=1+1", "Bad number of left terms (1,2)) on (4,2,2) 158*0+59=1+1\n"},
      {"(2,1,2) 5*0+4+3=9", "Bad number of left terms (2,1)) on (2,1,2) 5*0+4+3=9\n"},
      {"(3,1,8) 2=1*0+1*9", "Bad number of terms\n"},
      {"(2,150,150) 1 2", "Too much terms on (2,150,150) 1 2\n"},
      // Each of these wraps to a valid-looking number in 32 bits.
      {"(4,2,2) 158+4294967355=134+133", "number too large"},
      {"(4,2,2) 158*4294967297+59=1+1", "number too large"},
      {"(4294967300,2,2) 158+59=134+133", "number too large"},
      // m + n beyond 32 bits is counted in 64: the left side falls short of m.
      {"(4,2147483647,1) 1=1",
       "Bad number of left terms (1,2147483647)) on (4,2147483647,1) 1=1\n"},
      // Without "=" the running sum carries 5*2 to the left of a one-power side.
      {"(4,1,2) 5*2+4", "the left side does not add up to m"},
  };
  for (const auto& [line, message] : cases) {
    SCOPED_TRACE(line);
    // The line's own power where it has one of its own, else 4.
    const int32_t power = line[1] == '2' || line[1] == '3' ? line[1] - '0' : 4;
    WriteFile(ResultLogName(power), kGood + line + "\n(4,1,1) 2=1\n");
    int32_t taken = 0;
    const ResultLogReading reading = ReadResultLog(power, [&](SolutionRecord&) { ++taken; });
    EXPECT_EQ(reading.failure, message.back() == '\n' ? message
                                                      : "Bad solution line in DATA4.TXT (" +
                                                            message + "): " + line + "\n");
    EXPECT_EQ(reading.line, 2);
    EXPECT_EQ(taken, power == 4 ? 1 : 0);
  }
}

TEST_F(ResultLog, OnlyAnUnterminatedLastLineMayBeTornAndAnAppendClosesIt) {
  for (std::string tail : {"(4,1,4) 353=315+2", "(4,1,4) 353=315+272+120+3", "(4,1,"}) {
    ResetStore();
    WriteFile("DATA4.TXT", kGood + tail);
    EXPECT_EQ(CaptureOutput([] { LoadResultLog(4); }),
              "Skipping the torn last line of DATA4.TXT: " + tail + "\n");
    EXPECT_EQ(gStore.count, 1);
  }
  gRun.CurrentPower = 4;
  // Closed as it is, a torn tail would stop the next start: it becomes a comment.
  EXPECT_EQ(CaptureOutput([&] { LogSolution(kLoggedRecord); }),
            "Torn last line of DATA4.TXT kept as a comment: (4,1,\n" + kLogged);
  EXPECT_EQ(ReadFile("DATA4.TXT"), kGood + ";(4,1,\n" + kLogged);
  ResetStore();
  EXPECT_EQ(CaptureOutput([] { LoadResultLog(4); }), "");
  EXPECT_EQ(gStore.count, 2);

  // A whole line that only lacks its line end stays a solution line.
  ResetStore();
  WriteFile("DATA4.TXT", kGood + "(4,1,4) 353=315+272+120+30");
  EXPECT_EQ(CaptureOutput([] { LoadResultLog(4); }), "");
  EXPECT_EQ(gStore.count, 2);
  CaptureOutput([&] { LogSolution(kLoggedRecord); });
  EXPECT_EQ(ReadFile("DATA4.TXT"), kGood + "(4,1,4) 353=315+272+120+30\n" + kLogged);

  // A log that cannot be written: the line still reaches the console.
  std::remove("DATA4.TXT");
  ASSERT_EQ(mkdir("DATA4.TXT", 0755), 0);
  EXPECT_EQ(Ended([&] { LogSolution(kLoggedRecord); }),
            Outcome(kLogged + "Cannot write DATA4.TXT\n", 1));
}

// Runs `fn` in a child whose files may not grow past `bytes`, as a full disk
// takes the first part of a write and refuses the rest.
Outcome WithFilesLimitedTo(rlim_t bytes, const std::function<void()>& fn) {
  return Ended([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(98);
    fn();
  });
}

TEST_F(ResultLog, ATornTailLongerThanAnyLineIsKeptWholeAsComments) {
  // A crash inside a run of bytes that is no line: all of it is kept, in
  // comment lines that each stay below the reader's line limit.
  const std::string tail = "(4,1,4) " + std::string(2 * kLineLimit, '7');
  WriteFile("DATA4.TXT", kGood + tail);
  gRun.CurrentPower = 4;
  CaptureOutput([&] { LogSolution(kLoggedRecord); });
  const size_t room = kLineLimit - 2;
  EXPECT_EQ(ReadFile("DATA4.TXT"), kGood + ";" + tail.substr(0, room) + "\n;" +
                                       tail.substr(room, room) + "\n;" + tail.substr(2 * room) +
                                       "\n" + kLogged);
  ResetStore();
  EXPECT_EQ(CaptureOutput([] { LoadResultLog(4); }), "");
  EXPECT_EQ(gStore.count, 2);
}

TEST_F(ResultLog, ALineTheDiskTakesOnlyPartOfIsCutBackOut) {
  gRun.CurrentPower = 4;
  // An empty log, and one that holds a line: each keeps exactly what it held.
  for (const std::string& held : {std::string(), kGood}) {
    SCOPED_TRACE(held);
    WriteFile("DATA4.TXT", held);
    const rlim_t room = held.size() + 5;
    EXPECT_EQ(WithFilesLimitedTo(room, [&] { LogSolution(kLoggedRecord); }),
              Outcome(kLogged + "Cannot write DATA4.TXT\n", 1));
    EXPECT_EQ(ReadFile("DATA4.TXT"), held);
  }
}

// A k = 4 line of m Terms "1" left, `right` Terms "2" right, the last one "*last".
std::string ManyTerms(int m, int n, int right, int last = 1) {
  std::string line = "(4,";
  line += std::to_string(m) + "," + std::to_string(n) + ") ";
  for (int i = 0; i < m; ++i) line += i == 0 ? "1" : "+1";
  for (int i = 0; i < right; ++i) line += i > 0 ? "+2" : m > 0 ? "=2" : "2";
  return line + "*" + std::to_string(last);
}

TEST_F(SeedDatabase, MissingFilesAreNotErrors) {
  EXPECT_EQ(CaptureOutput(
                [] { EXPECT_EQ(LoadSeedDatabase(5) + LoadResultLog(5) + LoadCheckpoint(5), 0); }),
            "No DATABASE.TXT file\nNo DATA5.TXT file\nNo DATA5.BIN file\n");
}

TEST_F(SeedDatabase, LongSeedsLowerTheTableWithoutBeingStored) {
  WriteFile("DATABASE.TXT", "; several powers\n(5,1,x other power\n" + ManyTerms(100, 150, 150) +
                                " (0,0)\n" + ManyTerms(150, 100, 100) + "\n" +
                                ManyTerms(0, 200, 200));
  EXPECT_EQ(CaptureOutput([] { EXPECT_EQ(LoadSeedDatabase(4), 0); }),
            "Skipping (4,100,150): too much terms\nSkipping (4,150,100): too much terms\n"
            "Skipping (4,0,200): too much terms\n");
  // m = 150 keeps the header's sides, not exchanged; nothing is stored.
  const int32_t* table = gBest.BestRightTable;
  EXPECT_EQ(std::tuple(table[100], table[150], table[0], gStore.count),
            std::tuple(150, 100, 1000000, 0));
}

TEST_F(SeedDatabase, ChecksComeInTheirOwnOrderAndNameTheFile) {
  // 200 Terms that overshoot m + n, and 200 Terms followed by none where 250
  // are due (the missing ones read as base 0): the seed loader looks at the
  // sum first, the result log at the count. A Term no record may hold matters
  // only on a line that would be stored.
  const std::string overshoot = ManyTerms(100, 101, 100, 3), endsEarly = ManyTerms(100, 150, 100);
  // Each case: the refusal, and the header of the one seed too long to store.
  const std::pair<std::string, std::string> cases[] = {
      {overshoot, "Bad number of terms\n"},
      {endsEarly, "100,150 "},
      {"(4,2,2) 158+59=134", "Bad solution line in DATABASE.TXT (base 0): (4,2,2) 158+59=134\n"}};
  for (const auto& [line, expected] : cases) {
    SCOPED_TRACE(line);
    WriteFile("DATABASE.TXT", line + "\n");
    std::string seen;
    const FileReading reading = ReadSeedDatabase(
        4, [&](SolutionRecord&) { seen += "stored "; },
        [&](int32_t m, int32_t n) { seen += std::to_string(m) + "," + std::to_string(n) + " "; });
    EXPECT_EQ(reading.failure + seen, expected);
  }
  WriteFile("DATABASE.TXT", overshoot + "\n");
  EXPECT_EQ(Ended([] { LoadSeedDatabase(4); }), Fatal("Bad number of terms\n"));
  WriteFile("DATA4.TXT", overshoot + "\n");
  EXPECT_EQ(ReadResultLog(4, [](SolutionRecord&) {}).failure,
            "Too much terms on " + overshoot + "\n");
}

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

TEST_F(Checkpoint, ADamagedFileIsCopiedWhereHardLinksAreRefused) {
  const std::string damaged = Int32Bytes({3, 2, 7, 1, 6, -1, 0});
  WriteFile("DATA4.BIN", damaged);
  Load(4);
  EXPECT_EQ(Ended([] {
              // Started with its standard input closed, the program may be
              // handed descriptor 0 for a file: it is a file like any other.
              close(STDIN_FILENO);
              gRefuseLinks = true;
              SaveCheckpoint(4);
            }),
            Outcome("Damaged DATA4.BIN kept as DATA4.BIN.bad\n", -1));
  EXPECT_EQ(ReadFile("DATA4.BIN.bad"), damaged);
  EXPECT_EQ(ReadFile("DATA4.BIN"), Int32Bytes({1, 2, 7, 1, 6, -1}));
}

// Records sent between processes come as words; a message cut short
// anywhere gives the records before the cut and nothing read past its end
// (the words that stood there are still in memory to be misread).
TEST(RecordCodec, WordsCutShortAreNeverReadPastTheirEnd) {
  std::vector<int32_t> whole;
  AppendRecord(whole, MakeRecord({{7, 1}, {6, -1}, {2, 1}}));
  const size_t one = whole.size();
  AppendRecord(whole, MakeRecord({{9, 1}, {8, -1}}));
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    std::vector<int32_t> words = whole;
    words.resize(cut);
    size_t at = 0;
    SolutionRecord record;
    int32_t read = 0;
    while (ReadRecord(words, at, record)) ++read;
    EXPECT_EQ(read, cut == whole.size() ? 2 : cut >= one ? 1 : 0) << cut;
    EXPECT_LE(at, cut);
  }
}

TEST_F(Checkpoint, ImpossibleTermsAreFatal) {
  // The last two: a side of 2^31 powers, which no 32-bit count holds.
  const int32_t entries[][6] = {{1, 2, 0, 1, 6, -1},
                                {1, 2, 7, 0, 6, -1},
                                {1, 2, -7, 1, 6, -1},
                                {1, 2, 7, INT32_MIN, 6, 1},
                                {1, 2, 7, INT32_MAX, 6, 1}};
  for (const auto& entry : entries) {
    WriteFile("DATA4.BIN", Int32Bytes({entry, entry + 6}));
    int32_t taken = 0;
    const auto take = [&](SolutionRecord&) { ++taken; };
    EXPECT_EQ(ReadCheckpoint(4, take, false).failure, "Corrupted data in the file\n");
    EXPECT_EQ(taken, 0);
  }
  EXPECT_EQ(Ended([] { LoadCheckpoint(4); }),
            Outcome("0/1\rError: Corrupted data in the file\n\n", 1));
}

// 200 Terms is the most a record holds: such an entry loads, one more does not.
TEST_F(Checkpoint, TheLongestRecordLoads) {
  for (const int32_t terms : {kMaxTerms, kMaxTerms + 1}) {
    std::vector<int32_t> words = {1, terms};
    for (int32_t i = 0; i < terms; ++i) words.insert(words.end(), {terms - i, i % 2 ? -1 : 1});
    WriteFile("DATA4.BIN", Int32Bytes(words));
    int32_t taken = 0;
    const auto take = [&](SolutionRecord&) { ++taken; };
    ReadCheckpoint(4, take, false);
    EXPECT_EQ(taken, terms == kMaxTerms ? 1 : 0) << terms;
  }
}

TEST_F(Checkpoint, RecordsOfVeryManyPowersLoadFromEveryFileAndSaveBack) {
  // Any number of powers that the 32-bit counts hold: m + n may pass 2^31.
  // The first line is false; loading does not judge truth.
  const std::string lines[] = {"(4,1,1269185874) 630662624=638523249+4*638523249+1*630662624",
                               "(4,3,2147483645) 7*3=6+1*2147483644", "(4,1,160000) 20=1*160000"};
  WriteFile("DATABASE.TXT", lines[0] + "\n");
  WriteFile("DATA4.TXT", lines[1] + " (0,0)\n");
  WriteFile("DATA4.BIN", Int32Bytes({1, 2, 20, 1, 1, -160000}));
  const std::string loaded = CaptureOutput(
      [] { EXPECT_EQ(LoadSeedDatabase(4) + LoadResultLog(4) + LoadCheckpoint(4), 0); });
  EXPECT_EQ(loaded, "0/1\rDATA4.BIN loaded\n");
  auto listing = [] {
    std::string stored;
    for (const SolutionRecord& slot : gStore.slots) {
      if (slot.termCount != 0) stored += FormatSolution(slot, 4) + "\n";
    }
    return stored;
  };
  const std::string all = lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n";
  EXPECT_EQ(listing(), all);
  SaveCheckpoint(4);
  ResetStore();
  Load(4);
  EXPECT_EQ(listing(), all);
}

using Verify = FolderTest;

TEST(IdentityHolds, ExactlyAndAtOnceForAnyPower) {
  const std::vector<Term> pair = {{158, 1}, {59, 1}, {134, -1}, {133, -1}};
  const std::vector<Term> powersOfTwo = {{2, 1}, {1, -16}};
  // A power in the thousands of millions: the exact sums would take
  // gigabytes, but a false identity fails modulo a prime, and one whose
  // copies of each base cancel holds for every power.
  const std::tuple<std::vector<Term>, int32_t, bool> cases[] = {
      {pair, 4, true},
      {pair, 5, false},
      {pair, 2000000000, false},
      {powersOfTwo, 4, true},
      {powersOfTwo, 3, false},
      {powersOfTwo, INT32_MAX, false},
      {{{7, 2}, {5, 1}, {7, -2}, {5, -1}}, INT32_MAX, true},
      {{{1, 3}, {1, -2}, {1, -1}}, 1000000000, true},
      {{{3, 1}, {2, -1}, {1, -1}}, 1, true},
      {{{3, 1}, {2, -1}, {1, -1}}, 0, false},
      {{{3, 1}, {2, -1}}, 0, true},
      {pair, -1, false},
  };
  for (const auto& [terms, power, holds] : cases) {
    EXPECT_EQ(IdentityHolds(terms.data(), static_cast<int32_t>(terms.size()), power), holds)
        << "power " << power;
  }
}

TEST_F(Verify, FalseIdentitiesAreListedAndFail) {
  // 2^4 = 2 * 1^4 is false; a 250-Term line cannot be checked.
  std::string longLine = "(4,125,125) 1";
  for (int i = 1; i < 250; ++i) longLine += i == 125 ? "=1" : "+1";
  WriteFile("DATABASE.TXT", "(4,1,2) 2=1*2\n" + longLine + "\n");
  WriteFile("DATA4.TXT", "(4,2,2) 158+59=134+132 (0,0)\n(4,2,2) 158+59=134+133 (0,0)\n");
  CaptureOutput([] { LoadSeedDatabase(4), LoadResultLog(4); });
  int result = -1;
  const std::string out = CaptureOutput([&] { result = VerifyAll(4); });
  EXPECT_EQ(Outcome(out, result), Outcome("False identity in the store: (4,1,2) 2=1*2\n"
                                          "False identity in the store: (4,2,2) 158+59=134+132\n"
                                          "False identity in DATA4.TXT: (4,2,2) 158+59=134+132\n"
                                          "False identity in DATABASE.TXT: (4,1,2) 2=1*2\n"
                                          "Not checkable in DATABASE.TXT (250 Terms): " +
                                              longLine + "\nChecked 6 solutions, 4 false\n",
                                          1));
}

}  // namespace
}  // namespace quorvex
