#pragma once

// The search spread over the processes of an Open MPI job. Process 0 runs the
// console program: it owns the working folder, its lock and every file, and
// prints the run's lines. Every other process keeps a store in memory and runs
// the iterations process 0 hands it; after each it sends process 0 the
// solutions that entered its store, which process 0 inserts and logs, and
// process 0 passes what enters its own store on to all the others.
#include <mpi.h>

#include "cli/entry.hpp"

namespace quorvex {

// Process 0: the console program with the other processes as more workers.
// Returns the exit status.
int RunFirstProcess(int argc, char** argv, int processes);

// Any other process: serves process 0 until it says stop. Returns the exit
// status.
int RunOtherProcess(int rank);

}  // namespace quorvex
