#include "control/usage.hpp"

namespace quorvex {

const char* const kUsageText =
    "Usage: quorvex [extract|verify] [--seed N] [--threads N]\n"
    "       quorvex best [--power K] [--svg FILE]\n"
    "       quorvex status\n"
    "\n"
    "Searches for equal sums of like powers a1^k+...+am^k = b1^k+...+bn^k with as\n"
    "few powers as possible, by lattice reduction, in the current folder.\n"
    "\n"
    "  (none)     search, resuming where the last run stopped\n"
    "  extract    list the stored solutions and end\n"
    "  verify     check every stored and logged solution exactly\n"
    "  best       print the fewest right powers n known for each left count m, with\n"
    "             a witness, and whether the search found it or DATABASE.TXT gave it\n"
    "  status     tell where the run in this folder stands: MaxBase, speed, store,\n"
    "             last improvements (best and status only read, beside a search too)\n"
    "  --seed N   seed the random draws with N (0..4294967295) instead of the clock\n"
    "  -j, --threads N  search with N workers at once (1..1024, default 1)\n"
    "  --power K  best: for power K instead of the POWER of PARAMS.INI\n"
    "  --svg FILE best: draw the table as an SVG picture in FILE instead\n"
    "  --help     show this text;  --version  show the version\n"
    "\n"
    "Files: PARAMS.INI (parameters and progress, rewritten as the run goes),\n"
    "DATABASE.TXT (known solutions, read only), DATA<k>.TXT (result log),\n"
    "DATA<k>.BIN (store checkpoint), STATS.TXT (cross-reduction statistics),\n"
    "Bug.txt (fatal errors).\n"
    "\n"
    "PARAMS.INI keys, KEY=value, default in brackets (- means required):\n"
    "  POWER [-] k   START [-] first MaxBase   END [-] MaxBase where the walk ends\n"
    "  BLOCKSIZE [-] reduction block size, 2 or more   ITERATIONS [-] per MaxBase\n"
    "  WORKTERMS [-] bases per iteration, at most 200, 0 = automatic\n"
    "  SAVE [100] save every N iterations   NEMB [0] cross-reduce every N, 0 = never\n"
    "  WEIGHT [8] first cross-reduction weight   NEMBPASS [3] passes per weight\n"
    "  RESTART [none] MaxBase to walk again from at END   PRIORITY [1] 1 = lowest\n"
    "  CURRENTITERATION, CURRENTSAVE, CURRENTNEMB [0] progress counters\n"
    "START, END and RESTART are at most 10000.\n"
    "\n"
    "Stop with Escape, Ctrl-C or kill: progress and store are saved; run again to\n"
    "resume. Exit status: 0 done, 1 stopped or failed, 2 bad command line.\n";

const char* const kVersionText = "quorvex " QUORVEX_VERSION "\n";

}  // namespace quorvex
