// Fuzzes whole working folders: valid folders made by the program itself are
// damaged at random, searched in, stopped at a random moment or after BOUND
// seconds (3), started again and verified. No input may make a run hang,
// ignore a stop, die by a signal or leave a .tmp file; a folder may be refused
// only with a message of the program's own, and one it accepted and saved
// must load whole again, after a stop that rewrote PARAMS.INI and the store.
//   program_fuzz PROGRAM CASES SEED [BOUND]   or   PROGRAM --case C [BOUND]
// Every case prints its case seed; --case C runs it again, with its outputs.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string gProgram;
fs::path gWork;
double gBound = 3.0;
bool gOneCase = false;
constexpr double kSlack = 1.5;      // seconds a stop may take: one, and a load may add to it
constexpr double kReadOnly = 20.0;  // seconds a listing or a verification may take

struct Rng {
  std::mt19937_64 engine;
  uint64_t Below(uint64_t n) { return n == 0 ? 0 : engine() % n; }
  int64_t In(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(Below(hi - lo + 1)); }
  bool Chance(double p) { return static_cast<double>(engine() >> 11) * 0x1p-53 < p; }
  template <class T>
  const T& Pick(const std::vector<T>& v) {
    return v[Below(v.size())];
  }
};

std::string ReadFile(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}
void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// Whether the process catches `signal`: a signal sent while the dynamic loader
// still works would end it by the signal, which no program can prevent.
bool Catches(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("SigCgt:"))
      return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
  }
  return false;
}

struct Run {
  bool stopped = false, hung = false;
  int status = -1, signal = 0;  // status -1: ended by a signal
  double seconds = 0, latency = 0;
  std::string output;
  fs::file_time_type sentAt;  // files written after it were written at the stop
};

// Runs the program in `folder`, sends `signal` after `stopAt` seconds if it
// still runs, and kills it when it has not ended kSlack seconds later.
Run RunProgram(const fs::path& folder, const std::vector<std::string>& args, int signal,
               double stopAt, const fs::path& outputFile) {
  std::vector<char*> argv{gProgram.data()};
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    // A stop signal ignored at the start stays ignored (nohup, background
    // jobs): every run starts as from a terminal, whatever started the driver.
    for (int stop : {SIGINT, SIGTERM, SIGHUP}) ::signal(stop, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    setpgid(0, 0);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || chdir(folder.c_str()) != 0) _exit(126);
    dup2(in, 0), dup2(out, 1), dup2(out, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Run run;
  Clock::time_point sent;
  int wstatus = 0;
  while (waitpid(pid, &wstatus, WNOHANG) != pid) {
    if (!run.stopped && Since(start) >= stopAt &&
        (Catches(pid, signal) || Since(start) >= gBound)) {
      run.stopped = true;
      sent = Clock::now();
      run.sentAt = fs::file_time_type::clock::now();
      kill(pid, signal);
    }
    if (run.stopped && Since(sent) > kSlack) {
      run.hung = true;
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  run.seconds = Since(start);
  if (run.stopped) run.latency = Since(sent);
  if (WIFEXITED(wstatus)) run.status = WEXITSTATUS(wstatus);
  if (WIFSIGNALED(wstatus)) run.signal = WTERMSIG(wstatus);
  // Lines that rewrite themselves end in "\r": every line follows a "\n" here.
  run.output = "\n";
  run.output += ReadFile(outputFile);
  std::replace(run.output.begin(), run.output.end(), '\r', '\n');
  return run;
}

// The program's own message refusing a folder, or "".
std::string Refusal(const std::string& output) {
  for (const char* message : {"Error: ", "Buffer too short ", "Cannot write ",
                              "Cannot load parameters", "Another quorvex run"}) {
    const size_t at = output.find(std::string("\n") + message);
    if (at != std::string::npos) return output.substr(at + 1, output.find('\n', at + 1) - at - 1);
  }
  return "";
}

// ---- Valid folders, made by short seeded runs ----

const int kPowers[] = {4, 4, 3, 5, 6, 4};

// Half lack the best fourth-power identity, so that their logs hold
// improvements; the last runs longest, for a store of some hundreds.
void MakeValidFolders() {
  const std::string known =
      "(3,1,3) 6=5+4+3\n(5,1,4) 144=133+110+84+27\n(6,3,3) 23+15+10=22+19+3\n";
  for (int i = 0; i < 6; ++i) {
    const fs::path folder = gWork / ("valid" + std::to_string(i));
    fs::create_directories(folder);
    WriteFile(folder / "PARAMS.INI",
              "POWER=" + std::to_string(kPowers[i]) + "\nSTART=" + std::to_string(14 + 6 * i) +
                  "\nEND=" + std::to_string(17 + 6 * i) + "\nITERATIONS=" + (i == 5 ? "20" : "3") +
                  "\nBLOCKSIZE=12\nWORKTERMS=0\nSAVE=1\nNEMB=2\nWEIGHT=2\n");
    WriteFile(folder / "DATABASE.TXT",
              "; seed solutions\n" + known + (i % 2 ? "(4,2,2) 158+59=134+133\n" : ""));
    const Run run = RunProgram(folder, {"--seed", std::to_string(i)}, SIGTERM, 1e9,
                               gWork / ("valid" + std::to_string(i) + ".out"));
    if (run.status != 0) std::fprintf(stderr, "Cannot make a folder:\n%s\n", run.output.c_str());
    if (run.status != 0) std::exit(2);
  }
}

// ---- Damage ----

// A true identity of many powers, b^k = 1 + ... + 1, which every reader must
// take: b up to 20, or the largest b whose b^k is below 2^31, a multiplicity
// that one step at a time would take the shortening and the cross-reduction
// hours to walk down against 2^k = 1 + ... + 1 (added beside it at times).
std::pair<uint32_t, uint32_t> ManyPowers(Rng& rng, int power) {
  const bool nearTheLimit = rng.Chance(0.5);
  uint64_t base = nearTheLimit ? 2 : static_cast<uint64_t>(rng.In(2, 20));
  auto raised = [power](uint64_t b) {
    uint64_t value = 1;
    for (int i = 0; i < power && value <= INT32_MAX; ++i) value *= b;
    return value;
  };
  while (nearTheLimit && raised(base + 1) <= INT32_MAX) ++base;
  return {static_cast<uint32_t>(base), static_cast<uint32_t>(raised(base))};
}

std::string ManyPowersLines(Rng& rng, int power) {
  std::string lines;
  const std::string k = std::to_string(power);
  for (int64_t n = rng.In(1, 2); n > 0; --n) {
    const auto [base, count] = ManyPowers(rng, power);
    lines += "(" + k + ",1," + std::to_string(count) + ") " + std::to_string(base) + "=1*" +
             std::to_string(count) + "\n";
  }
  if (rng.Chance(0.5))
    lines += "(" + k + ",1," + std::to_string(1u << power) + ") 2=1*" +
             std::to_string(1u << power) + "\n";
  return lines;
}

// `trueAddition` tells whether the damage only added true solutions, which
// the program must take like any other.
std::string DamageText(Rng& rng, std::string text, int power, bool params, bool& trueAddition) {
  trueAddition = false;
  const size_t at = rng.Below(text.size() + 1);
  const std::string digits = "0123456789";
  // PARAMS.INI refuses any stray line, and a long line ends any reader: such
  // damage is rarer, so that most reaches the loaders and the search.
  switch (rng.Pick(params ? std::vector<int>{0, 1, 2, 3, 3, 3, 4, 4, 6}
                          : std::vector<int>{0, 0, 1, 2, 3, 3, 4, 4, 5, 6})) {
    case 0: {  // bytes changed or inserted
      const std::string palette = "0179()=+*,; -\n\r\x1a";
      std::string bytes;
      for (int64_t n = rng.In(1, 8); n > 0; --n) {
        bytes += rng.Chance(0.2) ? static_cast<char>(rng.Below(256))
                                 : palette[rng.Below(palette.size())];
      }
      return text.replace(at, rng.Below(2), bytes);
    }
    case 1:
      return text.substr(0, at);
    case 2:  // a piece repeated
      return text.insert(at, text.substr(at, rng.Below(64)));
    case 3: {  // a number made huge
      const size_t from = text.find_first_of(digits, at);
      if (from == std::string::npos) return text;
      const size_t length = std::min(text.find_first_not_of(digits, from), text.size()) - from;
      if (rng.Chance(0.3)) return text.insert(from + length, std::string(rng.In(1, 12), '9'));
      return text.replace(from, length,
                          rng.Pick(std::vector<std::string>{"2147483648", "4294967296", "0",
                                                            "65536", "65537", "99999999999"}));
    }
    case 4: {  // a line repeated or dropped
      const size_t start = text.rfind('\n', at) == std::string::npos ? 0 : text.rfind('\n', at) + 1;
      const size_t end = std::min(text.find('\n', at), text.size());
      const std::string line = text.substr(start, end + 1 - start);
      return rng.Chance(0.5) ? text.insert(start, line) : text.erase(start, line.size());
    }
    case 5:
      trueAddition = true;
      return text + (text.empty() || text.back() == '\n' ? "" : "\n") + ManyPowersLines(rng, power);
    default: {  // so many comment lines that reading them takes a while
      std::string padding;
      for (int64_t n = rng.In(100000, 1000000); n > 0; --n) padding += ";;;;;;;;;;;;;;;;;;;\n";
      return padding + text;
    }
  }
}

void PutWord(std::string& bytes, size_t word, uint32_t value) {
  if (bytes.size() < 4 * word + 4) bytes.resize(4 * word + 4);
  std::memcpy(&bytes[4 * word], &value, 4);
}

// Damages a checkpoint: a count, base or multiplicity changed, the file cut
// or extended, a true entry of many powers added, or a bit flipped.
std::string DamageCheckpoint(Rng& rng, std::string bytes, int power, bool& trueAddition) {
  trueAddition = false;
  std::vector<size_t> targets{0};  // word indexes of the counts, bases and multiplicities
  for (size_t word = 1; 4 * word + 4 <= bytes.size();) {
    uint32_t terms = 0;
    std::memcpy(&terms, &bytes[4 * word], 4);
    for (uint32_t j = 0; j <= 2 * terms && j < 400; ++j) targets.push_back(word + j);
    word += 1 + 2 * static_cast<size_t>(terms);
  }
  const uint32_t value =
      rng.Chance(0.7)
          ? rng.Pick(std::vector<uint32_t>{0, 1, 199, 200, 65536, 0x7FFFFFFF, 0x80000000})
          : static_cast<uint32_t>(rng.engine());
  switch (rng.Below(5)) {
    case 0:
      PutWord(bytes, rng.Pick(targets), rng.Chance(0.5) ? value : -value);
      break;
    case 1:
      bytes.resize(rng.Below(bytes.size() + 1));
      break;
    case 2:
      for (int64_t n = rng.In(1, 5); n > 0; --n) PutWord(bytes, bytes.size() / 4, value);
      break;
    case 3: {
      // Only onto a whole file: appended to a cut one, the entry is damage.
      uint32_t entries = 0;
      size_t end = 4;
      if (bytes.size() >= 4) std::memcpy(&entries, bytes.data(), 4);
      for (uint32_t i = 0; i < entries && end + 4 <= bytes.size(); ++i) {
        uint32_t terms = 0;
        std::memcpy(&terms, &bytes[end], 4);
        end += 4 + 8 * static_cast<size_t>(terms);
      }
      trueAddition = bytes.size() >= 4 && end == bytes.size();
      const auto [base, count] = ManyPowers(rng, power);
      for (uint32_t w : {2u, base, 1u, 1u, -count}) PutWord(bytes, bytes.size() / 4, w);
      PutWord(bytes, 0, entries + 1);
      break;
    }
    default:
      if (!bytes.empty()) bytes[rng.Below(bytes.size())] ^= static_cast<char>(1 << rng.Below(8));
  }
  return bytes;
}

// A PARAMS.INI for a small search; sometimes a long, endless or heavy one
// (large bases, blocks or weights), which only a stop ends. At the normal
// priority: at the lowest, a stop waits for the CPU that other work on the
// machine leaves it, which a time bound cannot judge.
std::string RandomParams(Rng& rng, int power) {
  const bool heavy = rng.Chance(0.1);
  const int64_t start = heavy ? rng.In(100, 10000) : rng.In(10, 60);
  auto value = [&](int64_t usual, double chance, int64_t large) {
    return std::to_string(rng.Chance(chance) ? large : usual);
  };
  return "POWER=" + std::to_string(power) + "\nSTART=" + std::to_string(start) +
         "\nEND=" + std::to_string(std::min<int64_t>(start + rng.In(-2, 4), 10000)) +
         "\nBLOCKSIZE=" + value(rng.In(10, 20), heavy ? 0.8 : 0, rng.In(20, 200)) +
         "\nWORKTERMS=" + value(0, heavy ? 0.5 : 0.2, rng.In(1, 200)) +
         "\nITERATIONS=" + value(rng.In(1, 3), 0.15, 1000000) +
         "\nSAVE=" + std::to_string(rng.In(1, 3)) + "\nNEMB=" + std::to_string(rng.In(0, 3)) +
         "\nWEIGHT=" + value(rng.In(1, 8), 0.05, 2147483647) +
         "\nNEMBPASS=" + value(rng.In(1, 3), 0.05, 1000000) +
         "\nCURRENTITERATION=" + value(0, 0.1, rng.In(1, 5)) + "\nPRIORITY=10\n";
}

// ---- One case ----

struct {
  long cases = 0, failed = 0, accepted = 0, refused = 0, stops = 0;
  double worstStop = 0;
} gTotals;

void Check(const std::string& name, const Run& run, const fs::path& folder,
           std::vector<std::string>& failures, bool mustEnd = false) {
  if (run.stopped && !run.hung)
    ++gTotals.stops, gTotals.worstStop = std::max(gTotals.worstStop, run.latency);
  if (mustEnd && run.stopped) failures.push_back(name + ": no end within the bound");
  if (run.hung)
    failures.push_back(name + ": still running " + std::to_string(kSlack) + " s after the stop");
  if (run.signal != 0 && !run.hung) failures.push_back(name + ": died by " + strsignal(run.signal));
  if (run.status > 1) failures.push_back(name + ": exit status " + std::to_string(run.status));
  // Status 1 needs a stop, the program's refusal, or false solutions counted.
  if (run.status == 1 && !run.stopped && Refusal(run.output).empty() &&
      (!Has(run.output, " false\n") || Has(run.output, ", 0 false\n")))
    failures.push_back(name + ": status 1 with no message");
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".tmp")
      failures.push_back(name + ": left " + entry.path().filename().string());
  }
  if (Has(run.output, "ERROR: AddressSanitizer") || Has(run.output, "runtime error: "))
    failures.push_back(name + ": a sanitizer report");
}

void RunCase(uint64_t caseSeed) {
  Rng rng{std::mt19937_64(caseSeed)};
  const int valid = static_cast<int>(rng.Below(6)), power = kPowers[valid];
  const fs::path folder = gWork / "case", out = gWork / "out";
  for (const fs::path& path : {folder, out}) fs::remove_all(path);
  fs::create_directory(out);
  fs::copy(gWork / ("valid" + std::to_string(valid)), folder);
  WriteFile(folder / "PARAMS.INI", RandomParams(rng, power));
  const std::string k = std::to_string(power);
  const std::vector<std::string> files = {"PARAMS.INI", "DATABASE.TXT", "DATA" + k + ".TXT",
                                          "DATA" + k + ".BIN"};
  bool onlyTrueAdditions = true;
  for (int64_t i = rng.Chance(0.05) ? 0 : rng.In(1, 4); i > 0; --i) {
    const std::string& file = files[rng.Pick(std::vector<int>{0, 1, 1, 2, 2, 2, 3, 3, 3})];
    bool trueAddition = false;
    if (rng.Chance(0.04)) {  // the file gone, or a folder in its place
      fs::remove_all(folder / file);
      if (rng.Chance(0.5)) fs::create_directory(folder / file);
    } else {
      const std::string bytes = ReadFile(folder / file);
      WriteFile(folder / file,
                file.ends_with(".BIN")
                    ? DamageCheckpoint(rng, bytes, power, trueAddition)
                    : DamageText(rng, bytes, power, file == "PARAMS.INI", trueAddition));
    }
    onlyTrueAdditions = onlyTrueAdditions && trueAddition;
  }
  std::vector<std::string> failures;

  // Only a folder whose solutions are all true must stay so.
  const Run before = RunProgram(folder, {"verify"}, SIGTERM, kReadOnly, out / "verify-before.out");
  Check("verify before", before, folder, failures, true);
  const bool allTrue = before.status == 0 && !before.stopped;

  const int signal = rng.Pick(std::vector<int>{SIGTERM, SIGTERM, SIGINT, SIGHUP});
  const double stopAt = rng.Chance(0.5)   ? gBound
                        : rng.Chance(0.3) ? rng.In(0, 30) / 1000.0
                                          : rng.In(0, 1000) / 1000.0 * gBound;
  std::vector<std::string> args{"--seed", std::to_string(rng.Below(1u << 31))};
  if (rng.Chance(0.2)) args.insert(args.end(), {"--threads", "2"});
  const Run first = RunProgram(folder, args, signal, stopAt, out / "first.out");
  Check("first run", first, folder, failures);
  const bool ran = !first.hung && first.signal == 0 &&
                   (Has(first.output, ".BIN loaded\n") || Has(first.output, ".BIN file\n"));
  const bool accepted =
      ran && Refusal(first.output).empty() && (first.status == 0 || first.stopped);
  // A folder in the place of a file the run writes ends it when it first
  // writes that file, which may be after the load.
  if (ran && !Refusal(first.output).empty() && !Has(Refusal(first.output), "Cannot write "))
    failures.push_back("first run: refused the folder after loading it");
  // True solutions of any number of powers are input like any other.
  if (onlyTrueAdditions && !Refusal(first.output).empty())
    failures.push_back("first run: refused true solutions of many powers");
  if (accepted && first.stopped && first.status == 1) {
    const bool samePower = Has(ReadFile(folder / "PARAMS.INI"), "POWER=" + k + "\n");
    for (const std::string& file : {std::string("PARAMS.INI"), "DATA" + k + ".BIN"}) {
      std::error_code error;
      if (samePower && !(fs::last_write_time(folder / file, error) >= first.sentAt - 20ms))
        failures.push_back("first run: " + file + " not written at the stop");
    }
  }
  gTotals.accepted += accepted;
  gTotals.refused += !Refusal(first.output).empty();

  const bool listing = rng.Chance(0.3);
  const Run next = RunProgram(folder, listing ? std::vector<std::string>{"extract"} : args, SIGTERM,
                              listing ? kReadOnly : 0.5, out / "next.out");
  Check("next start", next, folder, failures, listing);
  if (accepted && !Refusal(next.output).empty() && !Has(Refusal(next.output), "Cannot write "))
    failures.push_back("next start: refused a folder the first run accepted and saved");
  // Damage that the first run did not meet in its input can only come from what it wrote.
  for (const char* damage : {"Corrupted bin file", "Skipping the torn"}) {
    if (accepted && Has(next.output, damage) && !Has(first.output, damage))
      failures.push_back(std::string("next start: ") + damage + " after the first run");
  }
  if (accepted) {
    const Run after = RunProgram(folder, {"verify"}, SIGTERM, kReadOnly, out / "verify.out");
    Check("verify", after, folder, failures, true);
    if (!Refusal(after.output).empty()) failures.push_back("verify: refused the saved folder");
    if (allTrue && after.status != 0) failures.push_back("verify: a false solution was saved");
  }

  ++gTotals.cases;
  std::printf("case seed %" PRIu64 ": %s, %s %.3f s%s%s\n", caseSeed,
              accepted                        ? "accepted"
              : Refusal(first.output).empty() ? "not loaded"
                                              : Refusal(first.output).c_str(),
              first.stopped ? strsignal(signal) : "ended in",
              first.stopped ? first.latency : first.seconds, failures.empty() ? "" : ": FAILED ",
              failures.empty() ? "" : failures.front().c_str());
  std::fflush(stdout);
  gTotals.failed += !failures.empty();
  for (const std::string& failure : failures) std::printf("  %s\n", failure.c_str());
  if (!gOneCase) return;
  std::printf("---- first run: %s %s\n---- PARAMS.INI now:\n%s", args[0].c_str(), args[1].c_str(),
              ReadFile(folder / "PARAMS.INI").c_str());
  for (const char* name : {"verify-before", "first", "next", "verify"}) {
    std::printf("---- %s run:\n%s\n", name, ReadFile(out / (std::string(name) + ".out")).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/quorvex-program-fuzz-XXXXXX";
  if (argc < 4 || argc > 5 || mkdtemp(pattern) == nullptr) {
    std::fputs("Usage: program_fuzz PROGRAM CASES SEED [BOUND] | PROGRAM --case C [BOUND]\n",
               stderr);
    return 2;
  }
  gOneCase = std::strcmp(argv[2], "--case") == 0;
  gProgram = fs::absolute(argv[1]);
  gBound = argc == 5 ? std::atof(argv[4]) : gBound;
  gWork = pattern;
  const Clock::time_point start = Clock::now();
  MakeValidFolders();
  if (gOneCase) {
    RunCase(std::strtoull(argv[3], nullptr, 10));
  } else {
    std::mt19937_64 seeds(std::strtoull(argv[3], nullptr, 10));
    for (long i = std::atol(argv[2]); i > 0; --i) RunCase(seeds());
  }
  fs::remove_all(gWork);
  std::printf(
      "%ld cases in %.0f s: %ld accepted, %ld refused, %ld stops, worst stop %.3f s; %ld failed\n",
      gTotals.cases, Since(start), gTotals.accepted, gTotals.refused, gTotals.stops,
      gTotals.worstStop, gTotals.failed);
  return gTotals.failed == 0 ? 0 : 1;
}
