#pragma once

#include <cstdint>
#include <string>

namespace quorvex {

// Every way the engine ends the process early: prints what this thread has
// collected, flushes the console and ends with the status, without waiting
// for threads that may still be inside a reduction.
[[noreturn]] void ExitProcess(int status);

// Appends "Error: <message>\n" to Bug.txt, prints the same line and ends the
// process with status 1. The message already ends in a line end.
[[noreturn]] void FatalError(const char* message);

// A file the run must write could not be written (a full disk, a folder made
// read-only): says "Cannot write <file>" and ends the process with status 1.
// Every file is replaced whole or appended with its own sync, so what was
// written before stays as it was.
[[noreturn]] void StopOnFailedWrite(const std::string& file);

// printf-style FatalError for messages that quote a file name or a line.
[[noreturn]] void FatalErrorF(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace quorvex
