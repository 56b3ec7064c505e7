// The solution-line parser behind the result-log and seed-database loaders.
// Any file is loaded or refused with a message; what is loaded is a sound
// store; and a log that loads still loads after the next line is appended to
// it (the append closes or comments out a torn last line), with every solution
// it had and the new one.
#include "fuzz_support.hpp"
#include "store/result_log.hpp"
#include "store/seed_database.hpp"

using namespace quorvex;
using namespace quorvex::fuzz;

namespace {

constexpr int32_t kPower = 4;

void CheckResultLog(const uint8_t* data, size_t size) {
  StartWith(ResultLogName(kPower), data, size);
  // A refusal is the loader's fatal error: judged here, never loaded.
  if (!ReadResultLog(kPower, Ignore).failure.empty()) return;
  LoadResultLog(kPower);
  const std::vector<TermList> before = CheckStore(kPower);

  // (4,2,2) 158+59=134+133, in canonical form.
  const SolutionRecord known{
      nullptr, nullptr, 0, 2, 2, 4, {{158, 1}, {134, -1}, {133, -1}, {59, 1}}};
  gRun.CurrentPower = kPower;
  LogSolution(known);
  ResetEngine();
  Require(ReadResultLog(kPower, Ignore).failure.empty(), "the log still loads after an append");
  LoadResultLog(kPower);
  const std::vector<TermList> after = CheckStore(kPower);
  for (const TermList& record : before) {
    Require(std::binary_search(after.begin(), after.end(), record),
            "every solution of the log is still loaded after an append");
  }
  Require(std::binary_search(after.begin(), after.end(), SortedTerms(known.terms, 4)),
          "the appended solution is loaded");
}

void CheckSeedDatabase(const uint8_t* data, size_t size) {
  StartWith(kSeedDatabaseFile, data, size);
  if (!ReadSeedDatabase(kPower, Ignore, [](int32_t, int32_t) {}).failure.empty()) return;
  LoadSeedDatabase(kPower);
  CheckStore(kPower);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckResultLog(data, size);
  CheckSeedDatabase(data, size);
  return 0;
}
