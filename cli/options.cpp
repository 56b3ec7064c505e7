#include "cli/options.hpp"

#include <NTL/version.h>
#include <fplll/fplll_config.h>

#include <cstdio>
#include <cstring>

#include "run/parameters.hpp"
#include "search/reducer.hpp"

namespace quorvex {

namespace {

// The commands a word selects, with what they are for; those with neither
// options nor operands share one line of the synopsis.
struct CommandRow {
  Command command;
  const char* word;      // nullptr: no word, the search
  const char* operands;  // after the word in the synopsis
  const char* help;
};

constexpr CommandRow kCommands[] = {
    {Command::Search, nullptr, "", "search, resuming where the last run stopped"},
    {Command::Extract, "extract", "", "list the stored solutions and end"},
    {Command::Verify, "verify", "", "check every stored and logged solution exactly"},
    {Command::Merge, "merge", "FOLDER...",
     "bring the solutions of other folders' DATA<k>.BIN and DATA<k>.TXT\n"
     "into this folder's store, each checked exactly first"},
    {Command::Best, "best", "",
     "print the fewest right powers n known for each left count m, with\n"
     "a witness, and whether the search found it or DATABASE.TXT gave it"},
    {Command::Status, "status", "",
     "tell where the run in this folder stands: MaxBase, speed, store,\n"
     "last improvements (best and status only read, beside a search too)"},
};

enum class Value { None, Number, File, Reducer };

// An option, what follows it, and the commands it goes with (none: any); a
// strict one is refused with any other command, the others are only shown
// with theirs and ignored elsewhere.
struct OptionRow {
  const char* name = nullptr;
  const char* shortName = nullptr;
  Value value = Value::None;
  const char* placeholder = nullptr;
  uint64_t least = 0;
  uint64_t most = 0;
  std::vector<Command> goesWith = {};
  bool strict = false;
  const char* help = "";
  void (*take)(CommandLine& line, uint64_t number, const char* text) = nullptr;
};

constexpr uint64_t kMostThreads = 1024;

const std::vector<OptionRow>& Options() {
  static const std::vector<OptionRow> rows = {
      {.name = "--seed",
       .value = Value::Number,
       .placeholder = "N",
       .most = UINT32_MAX,
       .goesWith = {Command::Search},
       .help = "seed the random draws with N (0..4294967295) instead of the clock",
       .take =
           [](CommandLine& line, uint64_t n, const char*) {
             line.seed = static_cast<uint32_t>(n);
             line.haveSeed = true;
           }},
      {.name = "--threads",
       .shortName = "-j",
       .value = Value::Number,
       .placeholder = "N",
       .least = 1,
       .most = kMostThreads,
       .goesWith = {Command::Search},
       .help = "search with N workers at once (1..1024, default 1)",
       .take = [](CommandLine& line, uint64_t n,
                  const char*) { line.threads = static_cast<int32_t>(n); }},
      {.name = "--quiet",
       .shortName = "-q",
       .goesWith = {Command::Search},
       .help = "print what the search finds and a status line every 10 s,\n"
               "not the bases and sizes of every iteration",
       .take = [](CommandLine& line, uint64_t, const char*) { line.quiet = true; }},
      {.name = "--reducer",
       .value = Value::Reducer,
       .placeholder = "NAME",
       .goesWith = {Command::Search},
       .strict = true,
       .help = "reduce each lattice with NAME: BKZ_XD (NTL's, the default,\n"
               "the output the search always gave), BKZ_FP (NTL's in doubles, 3\n"
               "to 4 times the iterations, the most small solutions for k = 7),\n"
               "BKZ_FP_PRUNED (BKZ_FP with NTL's pruning, 4 to 11 times, the\n"
               "most small solutions for k = 4 to 6) or FPLLL_BKZ2 (fplll's\n"
               "BKZ 2.0); a lattice the last three fail on is reduced again\n"
               "with BKZ_XD",
       .take = [](CommandLine& line, uint64_t,
                  const char* text) { line.reducer = FindReducer(text); }},
      {.name = "--power",
       .value = Value::Number,
       .placeholder = "K",
       .most = INT32_MAX,
       .goesWith = {Command::Best},
       .strict = true,
       .help = "best: for power K instead of the POWER of PARAMS.INI",
       .take = [](CommandLine& line, uint64_t n,
                  const char*) { line.power = static_cast<int32_t>(n); }},
      {.name = "--svg",
       .value = Value::File,
       .placeholder = "FILE",
       .goesWith = {Command::Best},
       .strict = true,
       .help = "best: draw the table as an SVG picture in FILE instead",
       .take = [](CommandLine& line, uint64_t, const char* text) { line.svg = text; }},
      {.name = "--help",
       .shortName = "-h",
       .help = "show this text",
       .take = [](CommandLine& line, uint64_t, const char*) { line.help = true; }},
      {.name = "--version",
       .help = "show the version",
       .take = [](CommandLine& line, uint64_t, const char*) { line.version = true; }},
  };
  return rows;
}

const char* const kAbout =
    "Searches for equal sums of like powers a1^k+...+am^k = b1^k+...+bn^k with as\n"
    "few powers as possible, by lattice reduction, in the current folder.\n";

const char* const kFiles =
    "Files: PARAMS.INI (parameters and progress, rewritten as the run goes),\n"
    "DATABASE.TXT (known solutions, read only), DATA<k>.TXT (result log),\n"
    "DATA<k>.BIN (store checkpoint), STATS.TXT (cross-reduction statistics),\n"
    "Bug.txt (fatal errors), REDUCER.TXT (the reducer, when not BKZ_XD).\n";

const char* const kStopping =
    "Stop with Escape, Ctrl-C or kill: progress and store are saved; run again to\n"
    "resume. Exit status: 0 done, 1 stopped or failed, 2 bad command line.\n";

const char* const kSpreadAbout =
    "Runs the search of quorvex over the P processes of an Open MPI job, on one\n"
    "machine or many. Process 0 owns the working folder (its lock and every file)\n"
    "and alone prints; the others keep a store in memory, run the iterations it\n"
    "hands them and send it what enters their store. Stop the job with Ctrl-C on\n"
    "mpirun or a signal to process 0, and run the same command again to resume.\n"
    "With one process it is quorvex. The options and files are those of quorvex:\n";

bool GoesWith(const OptionRow& option, Command command) {
  for (const Command c : option.goesWith) {
    if (c == command) return true;
  }
  return false;
}

// "[--seed N] [--threads N] ..." of the options that go with the command.
std::string Synopsis(Command command) {
  std::string text;
  for (const OptionRow& option : Options()) {
    if (!GoesWith(option, command)) continue;
    text += std::string(" [") + option.name;
    if (option.placeholder != nullptr) text += std::string(" ") + option.placeholder;
    text += "]";
  }
  return text;
}

// A help entry: the label in a column of 13, the help beside it and under it.
void AddEntry(std::string& text, const std::string& label, const char* help) {
  constexpr size_t kColumn = 13;
  std::string line = "  " + label;
  line += line.size() + 2 <= kColumn ? std::string(kColumn - line.size(), ' ') : "  ";
  for (const char* at = help; *at != '\0'; ++at) {
    line += *at;
    if (*at == '\n') line += std::string(kColumn, ' ');
  }
  text += line + "\n";
}

std::string MakeUsage() {
  std::string text;
  std::string joined;  // words of commands without options or operands
  auto flush = [&] {
    if (joined.empty()) return;
    text += (text.empty() ? "Usage: quorvex " : "       quorvex ") + joined + "\n";
    joined.clear();
  };
  for (const CommandRow& row : kCommands) {
    const std::string options = Synopsis(row.command);
    if (row.word != nullptr && options.empty() && *row.operands == '\0') {
      joined += (joined.empty() ? "" : "|") + std::string(row.word);
      continue;
    }
    flush();
    std::string line = row.word == nullptr ? "quorvex" : std::string("quorvex ") + row.word;
    if (*row.operands != '\0') line += std::string(" ") + row.operands;
    text += (text.empty() ? "Usage: " : "       ") + line + options + "\n";
  }
  flush();
  text += std::string("\n") + kAbout + "\n";
  for (const CommandRow& row : kCommands) {
    AddEntry(text, row.word == nullptr ? "(none)" : row.word, row.help);
  }
  for (const OptionRow& option : Options()) {
    std::string label = option.shortName == nullptr ? "" : std::string(option.shortName) + ", ";
    label += option.name;
    if (option.placeholder != nullptr) label += std::string(" ") + option.placeholder;
    AddEntry(text, label, option.help);
  }
  text += std::string("\n") + kFiles + "\n";
  text += "PARAMS.INI keys, one KEY=value per line, with [their default, limits]:\n";
  text += ParameterHelp();
  text += std::string("\n") + kStopping;
  return text;
}

bool EqualsIgnoringCase(const char* text, const char* word) {
  for (; *word != '\0'; ++text, ++word) {
    char c = *text;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *word) return false;
  }
  return *text == '\0';
}

// A decimal from `least` to `largest`, nothing else.
bool ParseWhole(const char* text, uint64_t least, uint64_t largest, uint64_t& value) {
  if (text == nullptr || *text == '\0') return false;
  value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(*c - '0');
    if (value > largest) return false;
  }
  return value >= least;
}

int UsageError(const std::string& message) {
  std::fputs(message.c_str(), stderr);
  std::fputs(UsageText().c_str(), stderr);
  return 2;
}

const OptionRow* FindOption(const char* arg) {
  for (const OptionRow& option : Options()) {
    if (std::strcmp(arg, option.name) == 0) return &option;
    if (option.shortName != nullptr && std::strcmp(arg, option.shortName) == 0) return &option;
  }
  return nullptr;
}

std::string CommandName(Command command) {
  for (const CommandRow& row : kCommands) {
    if (row.command == command) return row.word == nullptr ? "the search" : row.word;
  }
  return "";
}

}  // namespace

int ParseCommandLine(int argc, char** argv, CommandLine& line) {
  bool haveCommand = false;
  std::vector<const OptionRow*> given;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] == '-') {
      const OptionRow* option = FindOption(arg);
      if (option == nullptr) return UsageError("Unknown option " + std::string(arg) + "\n");
      const char* text = nullptr;
      uint64_t number = 0;
      if (option->value != Value::None) text = i + 1 < argc ? argv[++i] : nullptr;
      if (option->value == Value::Number &&
          !ParseWhole(text, option->least, option->most, number)) {
        return UsageError(std::string(arg) + " needs a whole number from " +
                          std::to_string(option->least) + " to " + std::to_string(option->most) +
                          ", not \"" + std::string(text == nullptr ? "" : text) + "\"\n");
      }
      if (option->value == Value::Reducer && (text == nullptr || FindReducer(text) < 0)) {
        return UsageError(std::string(arg) + " needs one of " + ReducerNames() + ", not \"" +
                          std::string(text == nullptr ? "" : text) + "\"\n");
      }
      if (option->value == Value::File && (text == nullptr || *text == '\0')) {
        return UsageError(std::string(arg) + " needs a file name\n");
      }
      option->take(line, number, text);
      given.push_back(option);
    } else if (haveCommand && line.command == Command::Merge) {
      line.folders.push_back(arg);
    } else if (!haveCommand) {
      // Only the first word counts; any further word is ignored.
      haveCommand = true;
      for (const CommandRow& row : kCommands) {
        if (row.word != nullptr && EqualsIgnoringCase(arg, row.word)) line.command = row.command;
      }
    }
  }
  for (const OptionRow* option : given) {
    if (option->strict && !GoesWith(*option, line.command)) {
      return UsageError(std::string(option->name) + " goes with " +
                        CommandName(option->goesWith.front()) + " only\n");
    }
  }
  return -1;
}

const std::string& UsageText() {
  static const std::string text = MakeUsage();
  return text;
}

const std::string& SpreadUsageText() {
  static const std::string text = "Usage: mpirun -np P quorvex-mpi" + Synopsis(Command::Search) +
                                  "\n\n" + kSpreadAbout + "\n" + UsageText();
  return text;
}

// fplll gives its version as bare numbers, not a string.
#define QUORVEX_TEXT(x) #x
#define QUORVEX_VERSION_TEXT(major, minor, micro) \
  QUORVEX_TEXT(major) "." QUORVEX_TEXT(minor) "." QUORVEX_TEXT(micro)
const char* const kVersionText =
    "quorvex " QUORVEX_VERSION " (NTL " NTL_VERSION ", fplll " QUORVEX_VERSION_TEXT(
        FPLLL_MAJOR_VERSION, FPLLL_MINOR_VERSION, FPLLL_MICRO_VERSION) ")\n";

}  // namespace quorvex
