#include "base/fatal_error.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "base/console.hpp"

namespace quorvex {

void ExitProcess(int status) {
  EmitConsoleBlock();
  std::fflush(stdout);
  // Other threads may still be inside a reduction: ending without running
  // static destructors under them is the only safe way out. What needed
  // writing is written by now, and the terminal is restored by its handler.
  std::quick_exit(status);
}

void FatalError(const char* message) {
  // An unopenable Bug.txt must not hide the error: the console line follows anyway.
  if (std::FILE* bug = std::fopen("Bug.txt", "at")) {
    std::fprintf(bug, "Error: %s\n", message);
    std::fclose(bug);
  }
  // The lines of the iteration that failed come before its error.
  EmitConsoleBlock();
  std::printf("Error: %s\n", message);
  ExitProcess(1);
}

void StopOnFailedWrite(const std::string& file) {
  EmitConsoleBlock();
  std::printf("Cannot write %s\n", file.c_str());
  ExitProcess(1);
}

void FatalErrorF(const char* format, ...) {
  char message[2 * 8000 + 512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  FatalError(message);
}

}  // namespace quorvex
