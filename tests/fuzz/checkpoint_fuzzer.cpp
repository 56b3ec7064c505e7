// Checkpoint reader: any file is loaded, or refused for Terms that no solution
// has. What is loaded is a sound store; saving it and loading the new file
// gives the same solutions without a damage report; and a damaged file is
// kept byte for byte beside the new one.
#include <iterator>

#include "fuzz_support.hpp"
#include "store/checkpoint.hpp"

using namespace quorvex;
using namespace quorvex::fuzz;

constexpr int32_t kPower = 4;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name = CheckpointName(kPower);
  StartWith(name, data, size);
  // A refusal is the loader's fatal error: judged here, never loaded.
  if (!ReadCheckpoint(kPower, Ignore, false).failure.empty()) return 0;
  LoadCheckpoint(kPower);
  const std::vector<TermList> loaded = CheckStore(kPower);
  const bool damaged = gCheckpoint.damaged;

  SaveCheckpoint(kPower);
  if (damaged) {
    std::ifstream kept(name + ".bad", std::ios::binary);
    Require(std::string(std::istreambuf_iterator<char>(kept), {}) == std::string(data, data + size),
            "the damaged file is kept as it was");
  }
  ResetEngine();
  const CheckpointReading again = ReadCheckpoint(
      kPower, [](SolutionRecord& r) { InsertRecord(r, nullptr, InsertQuiet); }, false);
  Require(again.failure.empty() && !again.damaged, "a saved checkpoint loads undamaged");
  Require(CheckStore(kPower) == loaded, "a saved checkpoint gives back the same solutions");
  return 0;
}
