#include <filesystem>
#include <regex>

#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// The lines a quiet run keeps of a full run's output: the banner, the load
// lines, the Max= lines and the improvements (which the full run prints among
// the sizes of an iteration), in their order.
std::string KeptLines(const std::string& full) {
  static const std::regex kept(
      "^(Quorvex beta 10|No .* file|Max=[0-9]+)$|\\([0-9]+,[0-9]+,[0-9]+\\) [0-9*+]+=[0-9*+]+ "
      "\\(-?[0-9]+,[0-9]+\\)$");
  std::string lines;
  size_t start = 0;
  for (size_t end; (end = full.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = full.substr(start, end - start);
    std::smatch found;
    if (std::regex_search(line, found, kept)) lines += found.str() + "\n";
  }
  return lines;
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
    const ProgramResult r = RunProgram(folder, args);
    ASSERT_EQ(r.status, 0) << r.output;
    outputs[quiet] = r.output;
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
