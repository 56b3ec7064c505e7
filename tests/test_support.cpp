#include "test_support.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "control/exported.hpp"
#include "control/line_reader.hpp"
#include "control/parameters.hpp"
#include "control/run_state.hpp"
#include "search/cross_reduction.hpp"
#include "search/random.hpp"
#include "search/relation_shortening.hpp"
#include "search/search_iteration.hpp"
#include "store/best_right_table.hpp"
#include "store/checkpoint.hpp"
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
  char* made = mkdtemp(pattern);
  ASSERT_NE(made, nullptr);
  folder_ = made;
  std::filesystem::current_path(folder_);
  ResetEngineState();
}

void FolderTest::TearDown() {
  std::filesystem::current_path(previous_);
  std::error_code ignored;
  std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(folder_, ignored);
}

Outcome EndedInChild(const std::function<void()>& fn) {
  // The engine ends the process on a fatal error, so the call runs in a
  // child whose console goes to a file the parent reads afterwards.
  constexpr int kReturned = 99;
  std::fflush(stdout);
  char path[] = "/tmp/quorvex-ended-XXXXXX";
  const int out = mkstemp(path);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out, STDOUT_FILENO);
    fn();
    std::fflush(stdout);
    _exit(kReturned);
  }
  close(out);
  int status = 0;
  waitpid(pid, &status, 0);
  Outcome outcome{ReadFile(path), -1};
  unlink(path);
  if (WIFSIGNALED(status)) outcome.second = 128 + WTERMSIG(status);
  if (WIFEXITED(status) && WEXITSTATUS(status) != kReturned) outcome.second = WEXITSTATUS(status);
  return outcome;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) {
  return std::filesystem::exists(path);
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
    (t.multiplicity > 0 ? left : right) +=
        t.multiplicity > 0 ? t.multiplicity : -int64_t{t.multiplicity};
  }
  r.leftCount = m >= 0 ? m : static_cast<int32_t>(left);
  r.rightCount = n >= 0 ? n : static_cast<int32_t>(right);
  return r;
}

ProgramResult RunProgram(const std::string& folder, const std::vector<std::string>& args,
                         int timeoutSeconds) {
  char pattern[] = "/tmp/quorvex-output-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd >= 0) close(fd);
  std::string outPath = pattern;
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    std::FILE* devnull = std::fopen("/dev/null", "r");
    dup2(fileno(devnull), 0);
    std::FILE* out = std::fopen(outPath.c_str(), "w");
    dup2(fileno(out), 1);
    dup2(fileno(out), 2);
    alarm(static_cast<unsigned>(timeoutSeconds));
    std::vector<char*> argv;
    std::string binary = QUORVEX_BINARY;
    argv.push_back(binary.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  ProgramResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.output = ReadFile(outPath);
  std::filesystem::remove(outPath);
  return result;
}

}  // namespace quorvex::testing_support
