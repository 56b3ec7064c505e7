#pragma once

#include <cstdint>
#include <string>

namespace quorvex {

// The lattice reduction a run uses, chosen by NTL's name for the routine.
// BKZ_XD is the search's own; a faster routine is taken at its word only when
// it finishes cleanly, and a lattice it fails on is reduced again with
// BKZ_XD. The choice is the process's, for every worker.
constexpr const char* kDefaultReducer = "BKZ_XD";

// The names a run may choose, "BKZ_XD, BKZ_FP".
const std::string& ReducerNames();
// The place of a name, in any letter case, in ReducerNames(); -1 when it is
// not there.
int32_t FindReducer(const std::string& name);
// Chooses the routine by its place; false, changing nothing, for no place.
bool SetReducerIndex(int32_t index);
// The routine in use, by its name and its place.
const char* ReducerName();
int32_t ReducerIndex();
inline bool DefaultReducerInUse() {
  return ReducerIndex() == 0;
}

// Lattices reduced again with BKZ_XD since the process began, here and as
// other processes reported them.
int64_t ReducedAgain();
void AddReducedAgain(int64_t lattices);
// Called after every change of that count, on the thread that made it; one
// observer at a time (nullptr: none).
void ObserveReducedAgain(void (*observer)(int64_t total));

}  // namespace quorvex
