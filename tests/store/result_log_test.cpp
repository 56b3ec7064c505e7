#include <sys/stat.h>

#include "control/run_state.hpp"
#include "store/result_log.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
class ResultLog : public FolderTest {};

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
      {"(4,1,1269185874) 630662624=638523249+4*638523249+1*630662624", "more than 65536 powers"},
      // Each of these wraps to a valid-looking number in 32 bits.
      {"(4,2,2) 158+4294967355=134+133", "number too large"},
      {"(4,2,2) 158*4294967297+59=1+1", "number too large"},
      {"(4294967300,2,2) 158+59=134+133", "number too large"},
      {"(4,2147483647,1) 1=1", "m + n too large"},
      // Without "=" the running sum carries 5*2 to the left of a one-power side.
      {"(4,1,2) 5*2+4", "the left side does not add up to m"},
  };
  for (const auto& [line, message] : cases) {
    SCOPED_TRACE(line);
    // The line's own power where it has one of its own, else 4.
    const int32_t power = line[1] == '2' || line[1] == '3' ? line[1] - '0' : 4;
    WriteFile(ResultLogName(power), "(4,2,2) 158+59=134+133 (0,0)\n" + line + "\n(4,1,1) 2=1\n");
    int32_t taken = 0;
    const ResultLogReading reading = ReadResultLog(power, [&](SolutionRecord&) { ++taken; });
    EXPECT_EQ(reading.failure, message.back() == '\n' ? message
                                                      : "Bad solution line in DATA4.TXT (" +
                                                            message + "): " + line + "\n");
    EXPECT_EQ(reading.line, 2);
    EXPECT_EQ(taken, power == 4 ? 1 : 0);
  }
  // The loader turns the refusal into a fatal error.
  WriteFile("DATA3.TXT", "(3,1,8) 2=1*9\n");
  EXPECT_EQ(Ended([] { LoadResultLog(3); }), Fatal("Bad number of terms\n"));
  EXPECT_EQ(ReadFile("Bug.txt"), "Error: Bad number of terms\n\n");
}

TEST_F(ResultLog, OnlyAnUnterminatedLastLineMayBeTorn) {
  const std::string good = "(4,2,2) 158+59=134+133 (0,0)\n";
  for (std::string tail : {"(4,1,4) 353=315+2", "(4,1,4) 353=315+272+120+3", "(4,1,"}) {
    ResetStore();
    WriteFile("DATA4.TXT", good + tail);
    EXPECT_EQ(CaptureOutput([] { LoadResultLog(4); }),
              "Skipping the torn last line of DATA4.TXT: " + tail + "\n");
    EXPECT_EQ(gStore.count, 1);
  }
  ResetStore();
  WriteFile("DATA4.TXT", good + "(4,1,4) 353=315+272+120+30");
  EXPECT_EQ(CaptureOutput([] { LoadResultLog(4); }), "");
  EXPECT_EQ(gStore.count, 2);
}

TEST_F(ResultLog, AppendClosesAnUnterminatedTail) {
  const std::string good = "(4,2,2) 158+59=134+133 (0,0)\n", logged = "(4,1,1) 2=1 (0,0)\n";
  SolutionRecord r = MakeRecord({{2, 1}, {1, -1}});
  gRun.CurrentPower = 4;
  // Closed as it is, a torn tail would stop the next start: it becomes a comment.
  WriteFile("DATA4.TXT", good + "(4,1,4) 353=315+2");
  EXPECT_EQ(CaptureOutput([&] { LogSolution(r); }),
            "Torn last line of DATA4.TXT kept as a comment: (4,1,4) 353=315+2\n" + logged);
  EXPECT_EQ(ReadFile("DATA4.TXT"), good + ";(4,1,4) 353=315+2\n" + logged);
  EXPECT_EQ(CaptureOutput([] { LoadResultLog(4); }), "");
  EXPECT_EQ(gStore.count, 2);

  // A whole line that only lacks its line end stays a solution line.
  WriteFile("DATA4.TXT", "(4,2,2) 158+59=134+133");
  CaptureOutput([&] { LogSolution(r); });
  EXPECT_EQ(ReadFile("DATA4.TXT"), "(4,2,2) 158+59=134+133\n" + logged);

  // A log that cannot be written: the line still reaches the console.
  std::remove("DATA4.TXT");
  ASSERT_EQ(mkdir("DATA4.TXT", 0755), 0);
  EXPECT_EQ(Ended([&] { LogSolution(r); }), Outcome(logged + "Cannot write DATA4.TXT\n", 1));
}

}  // namespace
}  // namespace quorvex
