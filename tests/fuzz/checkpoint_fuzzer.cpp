// Checkpoint reader: any file is loaded, or refused with status 1 for Terms
// that no solution has. What is loaded is a sound store; saving it and
// loading the new file gives the same solutions without a damage report; and
// a damaged file is kept byte for byte beside the new one.
#include <fstream>
#include <iterator>

#include "fuzz_support.hpp"

using namespace quorvex;
using namespace quorvex::fuzz;

namespace {

constexpr int32_t kPower = 4;

std::string ReadWhole(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EnterPrivateFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetForInput();
  const std::string name = CheckpointName(kPower);
  WriteInput(name.c_str(), data, size);
  int status = RunEngine([] { LoadCheckpoint(kPower); });
  if (status != -1) {
    Require(status == 1, "a refused checkpoint ends with status 1");
    return 0;
  }
  const std::vector<TermList> loaded = CheckStore(kPower);
  const bool damaged = gCheckpoint.damaged;

  status = RunEngine([] { SaveCheckpoint(kPower); });
  Require(status == -1, "the store is saved");
  if (damaged) {
    Require(ReadWhole(name + ".bad") == std::string(data, data + size),
            "the damaged file is kept as it was");
  }
  ResetStore();
  ResetBestRight();
  status = RunEngine([] { LoadCheckpoint(kPower); });
  Require(status == -1 && !gCheckpoint.damaged, "a saved checkpoint loads undamaged");
  Require(CheckStore(kPower) == loaded, "a saved checkpoint gives back the same solutions");
  return 0;
}
