#include <sys/stat.h>

#include <cstdio>

#include "run/parameters.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

const std::string kRequired =
    "POWER=4\nSTART=60\nEND=200\nBLOCKSIZE=20\nWORKTERMS=0\nITERATIONS=10\n";

// The fifteen variables in the reader's order.
std::string Values(const Parameters& p) {
  std::string out;
  for (int32_t v :
       {p.POWER, p.START, p.END, p.BLOCKSIZE, p.WORKTERMS, p.ITERATIONS, p.CURRENTITERATION, p.NEMB,
        p.CURRENTNEMB, p.SAVE, p.CURRENTSAVE, p.NEMBPASS, p.RESTART, p.WEIGHT, p.PRIORITY}) {
    out += std::to_string(v) + " ";
  }
  out.pop_back();
  return out;
}

std::string Read(const std::string& text, Parameters& p) {
  WriteFile("PARAMS.INI", text);
  return ReadParameters(p).failure;
}

using ParamsFile = FolderTest;

TEST_F(ParamsFile, DefaultsAndAcceptedSpellings) {
  Parameters p{};
  EXPECT_EQ(Read(kRequired, p), "");
  EXPECT_EQ(Values(p), "4 60 200 20 0 10 0 0 0 100 0 3 -1 8 1");

  p.NEMB = 77;  // earlier values must not leak into a new reading
  EXPECT_EQ(Read("; comment\r\n"
                 "power=5\r\n"
                 "\r\n"
                 "Start=7 and a remark\r\n"
                 "END=\r\n"  // present, and 0
                 "BLOCKSIZE=30\n"
                 "BLOCKSIZE=2\n"            // the last line wins
                 "WorkTerms=200\n"          // the limit itself is allowed
                 "ITERATIONS=4294967306\n"  // wraps to 10
                 "restart=-1\n"             // a minus sign reads as 0
                 "weight=3x\n"
                 "\x1a"
                 "PRIORITY=10",  // no line end
                 p),
            "");
  EXPECT_EQ(Values(p), "5 7 0 2 200 10 0 0 0 100 0 3 0 3 10");
  EXPECT_EQ(Read(kRequired + "START=10000\nEND=10000\nRESTART=10000\n", p), "");
}

TEST_F(ParamsFile, RefusedFiles) {
  const std::pair<std::string, std::string> cases[] = {
      {" POWER=4\n" + kRequired, "Bad parameter\n"},
      {"POWER =4\n" + kRequired, "Bad parameter\n"},
      {kRequired + "COLOUR=3\n", "Bad parameter\n"},
      {kRequired + " ; not in the first column\n", "Bad parameter\n"},
      // A bad line wins over a missing key.
      {"POWER=4\nbogus\n", "Bad parameter\n"},
      {"POWER=4\nSTART=60\nEND=200\nBLOCKSIZE=20\nWORKTERMS=0\n", "Missing parameter\n"},
      {kRequired + "START=2147483648\n", "Missing parameter\n"},
      {kRequired + "WORKTERMS=250\n", "WORKTERMS=250 is above its limit 200\n"},
      {kRequired + "BLOCKSIZE=1\n", "BLOCKSIZE=1 is below its limit 2\n"},
      {kRequired + "START=20000\n", "START=20000 is above its limit 10000\n"},
      {kRequired + "END=10001\n", "END=10001 is above its limit 10000\n"},
      {kRequired + "RESTART=10001\n", "RESTART=10001 is above its limit 10000\n"},
  };
  Parameters p{};
  for (const auto& [text, message] : cases) EXPECT_EQ(Read(text, p), message) << text;
  // A long line is the reader's stop (a refusal, the loader's fatal error, is
  // seen from the program: Program.CommandLineAndExitStatuses).
  WriteFile("PARAMS.INI", kRequired + std::string(8000, ';') + "\n");
  EXPECT_EQ(Ended([] { LoadParameters(); }), Outcome("Buffer too short B 8000,8000\n", 1));
}

TEST_F(ParamsFile, SaveInWriterOrderOrNotAtAll) {
  WriteFile("PARAMS.INI",
            "power=4\nstart=60\nend=200\nblocksize=20\nworkterms=0\niterations=10\n"
            "currentiteration=3\nnembpass=2\nweight=16\n");
  ASSERT_EQ(LoadParameters(), 0);
  gParams.CURRENTSAVE = 7;
  gParams.CURRENTNEMB = 5;
  SaveParameters();
  const std::string head = "POWER=4\nSTART=60\nEND=200\n";
  const std::string tail =
      "BLOCKSIZE=20\nWORKTERMS=0\nITERATIONS=10\nCURRENTITERATION=3\nNEMB=0\nNEMBPASS=2\n"
      "CURRENTNEMB=5\nSAVE=100\nCURRENTSAVE=7\nWEIGHT=16\nPRIORITY=1\n";
  EXPECT_EQ(ReadFile("PARAMS.INI"), head + tail);

  gParams.RESTART = 0;
  SaveParameters();
  EXPECT_EQ(ReadFile("PARAMS.INI"), head + "RESTART=0\n" + tail);
  EXPECT_FALSE(FileExists("PARAMS.INI.tmp"));

  // A folder where the temporary file must go makes the write fail.
  ASSERT_EQ(mkdir("PARAMS.INI.tmp", 0755), 0);
  const std::string before = ReadFile("PARAMS.INI");
  gParams.POWER = 5;
  EXPECT_EQ(Ended([] { SaveParameters(); }), Outcome("Cannot write PARAMS.INI\n", 1));
  EXPECT_EQ(ReadFile("PARAMS.INI"), before);
  EXPECT_FALSE(FileExists("Bug.txt"));
}

}  // namespace
}  // namespace quorvex
