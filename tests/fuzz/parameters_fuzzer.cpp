// PARAMS.INI reader: any file is either loaded or refused with status 1, a
// loaded file holds values the engine's tables can take, and what the writer
// makes of them reads back the same.
#include <cstring>

#include "fuzz_support.hpp"
#include "search/search_iteration.hpp"

using namespace quorvex;
using namespace quorvex::fuzz;

namespace {

bool SameParameters(const Parameters& a, const Parameters& b) {
  return a.POWER == b.POWER && a.START == b.START && a.END == b.END && a.BLOCKSIZE == b.BLOCKSIZE &&
         a.WORKTERMS == b.WORKTERMS && a.ITERATIONS == b.ITERATIONS &&
         a.CURRENTITERATION == b.CURRENTITERATION && a.NEMB == b.NEMB &&
         a.CURRENTNEMB == b.CURRENTNEMB && a.SAVE == b.SAVE && a.CURRENTSAVE == b.CURRENTSAVE &&
         a.NEMBPASS == b.NEMBPASS && a.WEIGHT == b.WEIGHT && a.PRIORITY == b.PRIORITY &&
         // Every negative RESTART means the same: no restart.
         (a.RESTART == b.RESTART || (a.RESTART < 0 && b.RESTART < 0));
}

// The writer prints values with their sign and the reader takes none, so only
// files without wrapped (negative) values can round-trip; RESTART is the
// exception, left out when negative.
bool NoNegativeValues(const Parameters& p) {
  const int32_t values[] = {p.CURRENTITERATION, p.NEMB,     p.CURRENTNEMB, p.SAVE,
                            p.CURRENTSAVE,      p.NEMBPASS, p.WEIGHT,      p.PRIORITY};
  for (int32_t v : values) {
    if (v < 0) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EnterPrivateFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetForInput();
  WriteInput(kParamsFile, data, size);
  int status = RunEngine([] { Require(LoadParameters() == 0, "an existing file is read"); });
  if (status != -1) {
    Require(status == 1, "a refused file ends with status 1");
    return 0;
  }
  const Parameters loaded = gParams;
  Require(loaded.POWER >= 0 && loaded.ITERATIONS >= 0, "required values present");
  Require(loaded.START >= 0 && loaded.START <= kBasePoolSize, "START within the base pool");
  Require(loaded.END >= 0 && loaded.END <= kBasePoolSize, "END within the base pool");
  Require(loaded.RESTART <= kBasePoolSize, "RESTART within the base pool");
  Require(loaded.BLOCKSIZE >= 2, "BLOCKSIZE at least 2");
  Require(loaded.WORKTERMS >= 0 && loaded.WORKTERMS <= kMaxWorkTerms, "WORKTERMS at most 200");
  if (!NoNegativeValues(loaded)) return 0;

  status = RunEngine([] {
    SaveParameters();
    gParams = DefaultParameters();
    LoadParameters();
  });
  Require(status == -1, "a written file loads");
  Require(SameParameters(gParams, loaded), "a written file gives back the values");
  return 0;
}
