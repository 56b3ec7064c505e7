#pragma once

#include <cstdint>

#include "control/file_reading.hpp"

namespace quorvex {

// The fifteen PARAMS.INI variables, named after their keys.
struct Parameters {
  int32_t POWER = -1;
  int32_t START = -1;
  int32_t END = -1;
  int32_t BLOCKSIZE = -1;
  int32_t WORKTERMS = -1;
  int32_t ITERATIONS = -1;
  int32_t CURRENTITERATION = 0;
  int32_t NEMB = 0;
  int32_t CURRENTNEMB = 0;
  int32_t SAVE = 100;
  int32_t CURRENTSAVE = 0;
  int32_t NEMBPASS = 3;
  int32_t RESTART = -1;
  int32_t WEIGHT = 8;
  int32_t PRIORITY = 1;
};
extern Parameters gParams;

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
