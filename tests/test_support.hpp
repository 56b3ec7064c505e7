#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/solution_record.hpp"

namespace quorvex::testing_support {

void ResetEngineState();

// A test in a fresh temporary folder (the engine works in the current
// directory), with the engine's globals reset.
class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string folder_;

 private:
  std::string previous_;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
inline bool FileExists(const std::string& path) {
  return std::filesystem::exists(path);
}
inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
// Every entry of the folder with its modification time and content.
std::string FolderSnapshot(const std::string& folder);
// The values as 32-bit little-endian integers, as the checkpoint holds them.
std::string Int32Bytes(const std::vector<int32_t>& values);

// What `fn` printed, run in this process (it must not end it).
template <typename Fn>
std::string CaptureOutput(Fn&& fn) {
  ::testing::internal::CaptureStdout();
  fn();
  std::fflush(stdout);
  return ::testing::internal::GetCapturedStdout();
}

// What `fn` printed and its exit status (-1 when it returned; 128 + signal
// when killed). It runs in a child process, since the engine ends the process
// on a fatal error: what it changes is lost with the child.
using Outcome = std::pair<std::string, int>;
Outcome Ended(const std::function<void()>& fn);
// The outcome of FatalError(message).
inline Outcome Fatal(const std::string& message) {
  return {"Error: " + message + "\n", 1};
}
// The built program run in `folder` with the arguments and stdin from
// /dev/null: its stdout and stderr together, and its status.
Outcome RunProgram(const std::string& folder, const std::vector<std::string>& args,
                   int timeoutSeconds = 120);

// A record of the Terms; m and n are summed from the signs unless given.
SolutionRecord MakeRecord(const std::vector<Term>& terms, int32_t m = -1, int32_t n = -1);
// Inserts the record of the Terms as a loader does (no log line).
void StoreQuietly(const std::vector<Term>& terms);
// The Terms as "base*multiplicity ...".
std::string TermsOf(const SolutionRecord& record);

}  // namespace quorvex::testing_support
