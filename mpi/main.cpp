// quorvex-mpi: the search of quorvex spread over the processes of an Open MPI
// job, for example `mpirun -np 16 quorvex-mpi --seed 5`. It takes the same
// command line as quorvex; with one process it is quorvex.
#include <mpi.h>

#include <cstdio>
#include <cstring>

#include "control/entry.hpp"
#include "control/usage.hpp"
#include "mpi/spread_search.hpp"

namespace {

const char* const kSpreadUsage =
    "Usage: mpirun -np P quorvex-mpi [--seed N] [--threads N] [--quiet]\n"
    "                                [--reducer NAME]\n"
    "\n"
    "Runs the search of quorvex over the P processes of an Open MPI job, on one\n"
    "machine or many. Process 0 owns the working folder (its lock and every file)\n"
    "and alone prints; the others keep a store in memory, run the iterations it\n"
    "hands them and send it what enters their store. Stop the job with Ctrl-C on\n"
    "mpirun or a signal to process 0, and run the same command again to resume.\n"
    "With one process it is quorvex. The options and files are those of quorvex:\n"
    "\n";

}  // namespace

int main(int argc, char** argv) {
  // Help needs no job: it is printed before Open MPI starts.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kSpreadUsage, stdout);
      std::fputs(quorvex::UsageText().c_str(), stdout);
      return 0;
    }
  }
  // Process 0 talks to the others from one thread of its own, one call at a time.
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  int rank = 0;
  int processes = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &processes);
  if (processes == 1) {
    const int status = quorvex::ProgramEntry(argc, argv);
    MPI_Finalize();
    return status;
  }
  if (provided < MPI_THREAD_SERIALIZED) {
    if (rank == 0) std::fprintf(stderr, "This Open MPI cannot be used from several threads\n");
    MPI_Finalize();
    return 1;
  }
  if (rank == 0) return quorvex::RunFirstProcess(argc, argv, processes);
  return quorvex::RunOtherProcess(rank);
}
