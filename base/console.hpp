#pragma once

#include <string>

namespace quorvex {

// The engine's console output. A worker that runs iterations beside others
// collects the lines of each iteration and prints them as one block, so that
// no two iterations' lines interleave; everywhere else lines go straight out.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The details of the work, which a quiet run leaves out: the bases and sizes
// of each iteration, the cross-reduction's progress and statistics lines.
void PrintDetail(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Flushes standard output, unless this thread is collecting a block.
void FlushConsole();
// A quiet run prints what it finds and where it is, not how it works.
void SetQuietConsole(bool quiet);
bool QuietConsole();

// Collects what this thread prints from construction on, and prints it whole
// when destroyed (or when the process ends from inside, see ExitProcess).
class ConsoleBlock {
 public:
  ConsoleBlock();
  ~ConsoleBlock();
  ConsoleBlock(const ConsoleBlock&) = delete;
  ConsoleBlock& operator=(const ConsoleBlock&) = delete;

 private:
  std::string text_;
};

// Prints and forgets this thread's collected lines now; the process is about
// to end and they must not be lost.
void EmitConsoleBlock();

}  // namespace quorvex
