#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvex::testing_support {

// Thrown by the test exit hook where the engine would end the process.
struct ProcessExit {
  int status;
};

// Resets every global of the engine to its start-of-process state.
void ResetEngineState();

// A test that runs in a fresh temporary folder (the engine works in the
// current directory), with the engine's globals reset and ExitProcess turned
// into a ProcessExit exception.
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
bool FileExists(const std::string& path);

// Runs `fn` with stdout captured; returns what it printed. When the engine
// ends the process inside, `exitStatus` receives the status (else -1).
template <typename Fn>
std::string CaptureOutput(Fn&& fn, int* exitStatus = nullptr) {
  ::testing::internal::CaptureStdout();
  int status = -1;
  try {
    fn();
  } catch (const ProcessExit& e) {
    status = e.status;
  }
  std::fflush(stdout);
  std::string out = ::testing::internal::GetCapturedStdout();
  if (exitStatus != nullptr) *exitStatus = status;
  return out;
}

struct ProgramResult {
  int status;          // exit status, or 128 + signal
  std::string output;  // stdout and stderr together
};

// Runs the built quorvex program in `folder` with the arguments; stdin is
// /dev/null. `timeoutSeconds` bounds the run (SIGKILL after it).
ProgramResult RunProgram(const std::string& folder, const std::vector<std::string>& args,
                         int timeoutSeconds = 120);

}  // namespace quorvex::testing_support
