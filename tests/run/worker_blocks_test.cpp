// Several workers search at once, yet each iteration's lines (its bases, its
// sizes, the improvements it logs, its average) come out as one block: a
// second iteration never starts inside the first.
#include <sstream>

#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

using WorkerBlocks = FolderTest;

// An iteration's first line: its bases, each followed by a blank.
bool IsBasesLine(const std::string& line) {
  if (line.empty() || line.back() != ' ' || line.front() == ' ') return false;
  for (size_t i = 0; i < line.size(); ++i) {
    const bool digit = line[i] >= '0' && line[i] <= '9';
    if (!digit && (line[i] != ' ' || line[i - 1] == ' ')) return false;
  }
  return true;
}

// "" when the output's iteration blocks do not interleave, else the first
// line that breaks them. `iterations` counts the blocks.
std::string FirstInterleavedLine(const std::string& output, int& iterations) {
  bool inside = false;
  iterations = 0;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const bool opens = IsBasesLine(line);
    const bool closes = line.starts_with("Average=");
    const bool between = line.starts_with("Max=") || line.starts_with("Weight ");
    if ((opens || between) && inside) return line;
    if (closes && !inside) return line;
    if (opens) inside = true;
    if (closes) inside = false, ++iterations;
  }
  return inside ? "(the last block is not closed)" : "";
}

TEST_F(WorkerBlocks, EachIterationPrintsAsOneBlock) {
  for (const char* threads : {"2", "3"}) {
    SCOPED_TRACE(std::string("workers ") + threads);
    for (const char* file : {"DATA4.TXT", "DATA4.BIN", "STATS.TXT"}) std::remove(file);
    WriteFile("PARAMS.INI",
              "POWER=4\nSTART=60\nEND=63\nBLOCKSIZE=20\nWORKTERMS=0\nITERATIONS=4\nSAVE=3\nNEMB=5\n"
              "WEIGHT=2\nNEMBPASS=1\n");
    const Outcome run = RunProgram(".", {"--seed", "3", "--threads", threads});
    ASSERT_EQ(run.second, 0) << run.first;
    int iterations = 0;
    EXPECT_EQ(FirstInterleavedLine(run.first, iterations), "") << run.first;
    EXPECT_EQ(iterations, 3 * 4);  // every iteration of the walk, each once
    EXPECT_EQ(RunProgram(".", {"verify"}).second, 0);
  }
}

}  // namespace
}  // namespace quorvex
