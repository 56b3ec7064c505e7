#include "test_support.hpp"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/run_state.hpp"
#include "run/exported.hpp"
#include "run/parameters.hpp"
#include "search/random.hpp"
#include "store/solution_store.hpp"

namespace quorvex::testing_support {

void ResetEngineState() {
  ResetEngine();
  gParams = DefaultParameters();
  gRun.StopRequested = 0;
  gRandom = RandomState{};
}

void FolderTest::SetUp() {
  previous_ = std::filesystem::current_path().string();
  char pattern[] = "/tmp/quorvex-test-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  folder_ = pattern;
  std::filesystem::current_path(folder_);
  ResetEngineState();
}

void FolderTest::TearDown() {
  std::filesystem::current_path(previous_);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

Outcome Ended(const std::function<void()>& fn) {
  // The child's console goes to a pipe, read to its end before the child is
  // waited for: a pipe, not a file, so that a limit on file sizes the child
  // sets does not cut its console short.
  constexpr int kReturned = 99;
  std::fflush(stdout);
  int console[2];
  if (pipe(console) != 0) return {"no pipe", -2};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(console[1], STDOUT_FILENO);
    close(console[0]);
    close(console[1]);
    fn();
    std::fflush(stdout);
    _exit(kReturned);
  }
  close(console[1]);
  Outcome outcome{"", -1};
  char buffer[4096];
  for (ssize_t got; (got = read(console[0], buffer, sizeof buffer)) != 0;) {
    if (got > 0) outcome.first.append(buffer, static_cast<size_t>(got));
    if (got < 0 && errno != EINTR) break;
  }
  close(console[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) outcome.second = 128 + WTERMSIG(status);
  if (WIFEXITED(status) && WEXITSTATUS(status) != kReturned) outcome.second = WEXITSTATUS(status);
  return outcome;
}

Outcome RunProgram(const std::string& folder, const std::vector<std::string>& args,
                   int timeoutSeconds) {
  return Ended([&] {
    std::vector<std::string> copy = args;
    std::vector<char*> argv{const_cast<char*>(QUORVEX_BINARY)};
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (chdir(folder.c_str()) != 0 || !std::freopen("/dev/null", "r", stdin)) _exit(126);
    dup2(STDOUT_FILENO, STDERR_FILENO);
    alarm(static_cast<unsigned>(timeoutSeconds));
    execv(QUORVEX_BINARY, argv.data());
    _exit(127);
  });
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string ReadFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

std::string FolderSnapshot(const std::string& folder) {
  std::string all;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    struct stat info;
    stat(entry.path().c_str(), &info);
    all += entry.path().string() + " " + std::to_string(info.st_mtim.tv_nsec) + " " +
           ReadFile(entry.path().string()) + "\n";
  }
  return all;
}

std::string Int32Bytes(const std::vector<int32_t>& values) {
  std::string bytes;
  for (uint32_t v : values) {
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(v >> shift);
  }
  return bytes;
}

SolutionRecord MakeRecord(const std::vector<Term>& terms, int32_t m, int32_t n) {
  SolutionRecord r{};
  int64_t left = 0, right = 0;
  for (const Term& t : terms) {
    r.terms[r.termCount++] = t;
    if (t.multiplicity > 0) left += t.multiplicity;
    if (t.multiplicity < 0) right -= t.multiplicity;
  }
  r.leftCount = m >= 0 ? m : static_cast<int32_t>(left);
  r.rightCount = n >= 0 ? n : static_cast<int32_t>(right);
  return r;
}

void StoreQuietly(const std::vector<Term>& terms) {
  SolutionRecord r = MakeRecord(terms);
  InsertRecord(r, nullptr, InsertQuiet);
}

std::string TermsOf(const SolutionRecord& record) {
  std::string s;
  for (int32_t i = 0; i < record.termCount; ++i) {
    s += std::to_string(record.terms[i].base) + "*" + std::to_string(record.terms[i].multiplicity) +
         " ";
  }
  if (!s.empty()) s.pop_back();
  return s;
}

}  // namespace quorvex::testing_support
