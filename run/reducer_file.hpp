#pragma once

#include <cstdint>
#include <string>

namespace quorvex {

// REDUCER.TXT tells `status` which lattice reduction the folder's search uses
// and how many lattices it failed on. Only a run that chose another routine
// than BKZ_XD writes it, so a run with the default writes exactly the files
// it always wrote.
constexpr const char* kReducerFile = "REDUCER.TXT";

// At the start of a search, under the folder's lock: with the default the
// file of an earlier run goes; otherwise it is written now and again each
// time a lattice is reduced again with BKZ_XD.
void KeepReducerFile();

struct ReducerFileReading {
  bool missing = false;
  bool damaged = false;
  std::string reducer;
  int64_t reducedAgain = 0;
};
ReducerFileReading ReadReducerFile();

}  // namespace quorvex
