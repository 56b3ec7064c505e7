// PARAMS.INI reader: any file is either read or refused with a message, a file
// that is read holds values the engine's tables can take, and what the writer
// makes of them reads back the same.
#include <cstring>

#include "fuzz_support.hpp"
#include "search/search_iteration.hpp"

using namespace quorvex;
using namespace quorvex::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartWith(kParamsFile, data, size);
  Parameters loaded = DefaultParameters();
  const FileReading reading = ReadParameters(loaded);
  Require(!reading.missing, "an existing file is read");
  if (!reading.failure.empty()) return 0;
  Require(loaded.POWER >= 0 && loaded.ITERATIONS >= 0 && loaded.BLOCKSIZE >= 2,
          "required values present, BLOCKSIZE at least 2");
  Require(loaded.START >= 0 && loaded.START <= kBasePoolSize && loaded.END >= 0 &&
              loaded.END <= kBasePoolSize && loaded.RESTART <= kBasePoolSize,
          "START, END and RESTART within the base pool");
  Require(loaded.WORKTERMS >= 0 && loaded.WORKTERMS <= kMaxWorkTerms, "WORKTERMS at most 200");
  // The writer prints values with their sign and the reader takes none, so
  // only values that did not wrap to negative can round-trip; a negative
  // RESTART is left out and means the same whatever its value.
  for (int32_t v : {loaded.CURRENTITERATION, loaded.NEMB, loaded.CURRENTNEMB, loaded.SAVE,
                    loaded.CURRENTSAVE, loaded.NEMBPASS, loaded.WEIGHT, loaded.PRIORITY}) {
    if (v < 0) return 0;
  }
  if (loaded.RESTART < 0) loaded.RESTART = -1;

  gParams = loaded;
  SaveParameters();
  Parameters again{};
  Require(ReadParameters(again).failure.empty(), "a written file is read");
  Require(std::memcmp(&again, &loaded, sizeof loaded) == 0, "a written file gives back the values");
  return 0;
}
