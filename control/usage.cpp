#include "control/usage.hpp"

#include "control/parameters.hpp"

namespace quorvex {

namespace {

const char* const kCommands =
    "Usage: quorvex [--seed N] [--threads N] [--quiet] [--reducer NAME]\n"
    "       quorvex extract|verify\n"
    "       quorvex merge FOLDER...\n"
    "       quorvex best [--power K] [--svg FILE]\n"
    "       quorvex status\n"
    "\n"
    "Searches for equal sums of like powers a1^k+...+am^k = b1^k+...+bn^k with as\n"
    "few powers as possible, by lattice reduction, in the current folder.\n"
    "\n"
    "  (none)     search, resuming where the last run stopped\n"
    "  extract    list the stored solutions and end\n"
    "  verify     check every stored and logged solution exactly\n"
    "  merge      bring the solutions of other folders' DATA<k>.BIN and DATA<k>.TXT\n"
    "             into this folder's store, each checked exactly first\n"
    "  best       print the fewest right powers n known for each left count m, with\n"
    "             a witness, and whether the search found it or DATABASE.TXT gave it\n"
    "  status     tell where the run in this folder stands: MaxBase, speed, store,\n"
    "             last improvements (best and status only read, beside a search too)\n"
    "  --seed N   seed the random draws with N (0..4294967295) instead of the clock\n"
    "  -j, --threads N  search with N workers at once (1..1024, default 1)\n"
    "  -q, --quiet  print what the search finds and a status line every 10 s,\n"
    "             not the bases and sizes of every iteration\n"
    "  --reducer NAME  reduce each lattice with NAME: BKZ_XD (NTL's, the default,\n"
    "             the output the search always gave), BKZ_FP (NTL's in doubles, 3\n"
    "             to 4 times the iterations) or FPLLL_BKZ2 (fplll's BKZ 2.0, the\n"
    "             smallest solutions soonest for k = 4 and 5, best at BLOCKSIZE\n"
    "             30); a lattice these two fail on is reduced again with BKZ_XD\n"
    "  --power K  best: for power K instead of the POWER of PARAMS.INI\n"
    "  --svg FILE best: draw the table as an SVG picture in FILE instead\n"
    "  --help     show this text;  --version  show the version\n"
    "\n"
    "Files: PARAMS.INI (parameters and progress, rewritten as the run goes),\n"
    "DATABASE.TXT (known solutions, read only), DATA<k>.TXT (result log),\n"
    "DATA<k>.BIN (store checkpoint), STATS.TXT (cross-reduction statistics),\n"
    "Bug.txt (fatal errors), REDUCER.TXT (the reducer, when not BKZ_XD).\n"
    "\n"
    "PARAMS.INI keys, one KEY=value per line, with [their default, limits]:\n";

const char* const kStopping =
    "\n"
    "Stop with Escape, Ctrl-C or kill: progress and store are saved; run again to\n"
    "resume. Exit status: 0 done, 1 stopped or failed, 2 bad command line.\n";

}  // namespace

const std::string& UsageText() {
  static const std::string text = kCommands + ParameterHelp() + kStopping;
  return text;
}

const char* const kVersionText = "quorvex " QUORVEX_VERSION "\n";

}  // namespace quorvex
