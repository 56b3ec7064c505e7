#pragma once

#include <cstdint>
#include <string>

#include "base/file_reading.hpp"

namespace quorvex {

// The fifteen PARAMS.INI variables, named after their keys. Their defaults,
// the order the reader compares keys in and the order the writer writes them
// in come from one table of keys (parameters.cpp).
struct Parameters {
  int32_t POWER;
  int32_t START;
  int32_t END;
  int32_t BLOCKSIZE;
  int32_t WORKTERMS;
  int32_t ITERATIONS;
  int32_t CURRENTITERATION;
  int32_t NEMB;
  int32_t CURRENTNEMB;
  int32_t SAVE;
  int32_t CURRENTSAVE;
  int32_t NEMBPASS;
  int32_t RESTART;
  int32_t WEIGHT;
  int32_t PRIORITY;
};
extern Parameters gParams;

// The values before PARAMS.INI is read: -1 for the required keys (and
// RESTART: none), the defaults for the others.
Parameters DefaultParameters();
// One line per key, for --help: what it is, its default, its limits.
std::string ParameterHelp();

constexpr const char* kParamsFile = "PARAMS.INI";

// Reads PARAMS.INI into `out` without ending the process on a bad file, for
// the commands that only look at a folder. The failure is a refused line, a
// missing key or a value beyond its limit. `out` is left alone when the file
// is missing.
FileReading ReadParameters(Parameters& out);

// Reads PARAMS.INI. Returns 1 when it cannot be opened, 0 when loaded; bad or
// missing keys and values the engine cannot hold end the process.
int32_t LoadParameters();

// Rewrites PARAMS.INI atomically from gParams; ends the process (status 1)
// with "Cannot write PARAMS.INI" when that fails.
void SaveParameters();

}  // namespace quorvex
