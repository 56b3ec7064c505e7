#include "control/fatal_error.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace quorvex {

ExitControl gExit;

void ExitProcess(int status) {
  std::fflush(stdout);
  if (gExit.hook != nullptr) gExit.hook(status);
  std::exit(status);
}

void FatalError(const char* message) {
  // An unopenable Bug.txt must not hide the error: the console line follows anyway.
  if (std::FILE* bug = std::fopen("Bug.txt", "at")) {
    std::fprintf(bug, "Error: %s\n", message);
    std::fclose(bug);
  }
  std::printf("Error: %s\n", message);
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
