#pragma once

// The command line of both programs, from one table of commands and one of
// options: the parser, `--help` of quorvex and of quorvex-mpi, and the
// README's help block (which a test holds to the help) all come from them.
#include <cstdint>
#include <string>
#include <vector>

namespace quorvex {

enum class Command { Search, Extract, Verify, Merge, Best, Status };

struct CommandLine {
  Command command = Command::Search;
  bool haveSeed = false;
  uint32_t seed = 0;
  int32_t threads = 1;               // --threads
  bool quiet = false;                // --quiet
  int32_t power = -1;                // --power; -1: PARAMS.INI's
  int32_t reducer = 0;               // --reducer, by its place; 0: BKZ_XD
  std::string svg;                   // --svg
  std::vector<std::string> folders;  // merge: the folders to take from
  bool help = false;
  bool version = false;
};

// Fills `line` from the arguments. Returns -1 when they are good; else prints
// why not and the help to standard error and returns the exit status (2).
int ParseCommandLine(int argc, char** argv, CommandLine& line);

// The --help text of quorvex.
const std::string& UsageText();
// The --help text of quorvex-mpi: how to start a job, then quorvex's.
const std::string& SpreadUsageText();
extern const char* const kVersionText;

}  // namespace quorvex
