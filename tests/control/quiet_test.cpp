#include <filesystem>
#include <sstream>

#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// The lines a quiet run keeps of a full run's output: the banner, the load
// lines, the Max= lines and the improvements (which the full run prints after
// the sizes of an iteration, on their line), in their order.
std::string KeptLines(const std::string& full) {
  std::istringstream lines(full);
  std::string kept;
  for (std::string line; std::getline(lines, line);) {
    if (line == "Quorvex beta 10" || line.rfind("Max=", 0) == 0 ||
        (line.rfind("No ", 0) == 0 && line.size() > 8 && line.substr(line.size() - 5) == " file")) {
      kept += line + "\n";
      continue;
    }
    // An improvement ends its line with its suffix " (W,P)".
    const size_t header = line.rfind(")(4,");
    const size_t start = header == std::string::npos ? line.rfind("(4,", 0) : header + 1;
    if (start != std::string::npos && line.back() == ')' &&
        line.find('=', start) != std::string::npos && line.find(' ', start) != std::string::npos) {
      kept += line.substr(start) + "\n";
    }
  }
  return kept;
}

using Quiet = FolderTest;

TEST_F(Quiet, ASeededRunKeepsWhatItFoundAndWhereItIs) {
  const std::string params =
      "POWER=4\nSTART=30\nEND=33\nBLOCKSIZE=10\nWORKTERMS=0\nITERATIONS=3\nNEMB=4\nWEIGHT=1\n";
  std::string outputs[2];
  std::string logs[2];
  for (int quiet = 0; quiet < 2; ++quiet) {
    const std::string folder = folder_ + (quiet == 1 ? "/quiet" : "/full");
    std::filesystem::create_directory(folder);
    WriteFile(folder + "/PARAMS.INI", params);
    std::vector<std::string> args = {"--seed", "4"};
    if (quiet == 1) args.push_back("--quiet");
    const Outcome r = RunProgram(folder, args);
    ASSERT_EQ(r.second, 0) << r.first;
    outputs[quiet] = r.first;
    logs[quiet] = ReadFile(folder + "/DATA4.TXT");
  }
  // The same search, told in fewer lines; a short run has no status line yet.
  EXPECT_EQ(logs[1], logs[0]);
  EXPECT_FALSE(logs[0].empty());
  EXPECT_EQ(outputs[1], KeptLines(outputs[0]));
  EXPECT_LT(outputs[1].size() * 4, outputs[0].size());
}

}  // namespace
}  // namespace quorvex
