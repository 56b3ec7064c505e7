#include "store/seed_database.hpp"
#include "store/best_right_table.hpp"
#include "store/checkpoint.hpp"
#include "store/result_log.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
class SeedDatabase : public FolderTest {};

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
  EXPECT_EQ(gBest.BestRightTable[100], 150);
  EXPECT_EQ(gBest.BestRightTable[150], 100);  // the header's sides, not exchanged
  EXPECT_EQ(gBest.BestRightTable[0], 1000000);
  EXPECT_EQ(gStore.count, 0);
}

TEST_F(SeedDatabase, ChecksComeInTheirOwnOrderAndNameTheFile) {
  // 200 Terms that overshoot m + n, and 200 Terms followed by none where 250
  // are due (the missing ones read as base 0): the seed loader looks at the
  // sum first, the result log at the count. A Term no record may hold matters
  // only on a line that would be stored.
  const std::string overshoot = ManyTerms(100, 101, 100, 3), endsEarly = ManyTerms(100, 150, 100);
  const std::string huge = "(4,1,1269185874) 630662624=638523249+4*638523249+1*630662624";
  // Each case: the refusal, and the header of the one seed too long to store.
  const std::pair<std::string, std::string> cases[] = {
      {overshoot, "Bad number of terms\n"},
      {endsEarly, "100,150 "},
      {"(4,2,2) 158+59=134", "Bad solution line in DATABASE.TXT (base 0): (4,2,2) 158+59=134\n"},
      {huge, "Bad solution line in DATABASE.TXT (more than 65536 powers): " + huge + "\n"}};
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

}  // namespace
}  // namespace quorvex
