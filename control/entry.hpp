#pragma once

namespace quorvex {

// The console program: parses the command line, runs the listing or the
// search, and returns the process exit status.
int ProgramEntry(int argc, char** argv);

}  // namespace quorvex
