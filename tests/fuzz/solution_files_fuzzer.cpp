// The solution-line parser behind the result-log and seed-database loaders.
// Any file is loaded or refused with status 1; what is loaded is a sound store;
// and a log that loads still loads after the next line is appended to it (the
// append closes or comments out a torn last line), with every solution it had
// and the new one.
#include "fuzz_support.hpp"
#include "store/result_log.hpp"
#include "store/seed_database.hpp"

using namespace quorvex;
using namespace quorvex::fuzz;

namespace {

constexpr int32_t kPower = 4;

// (4,2,2) 158+59=134+133, in canonical form.
SolutionRecord KnownSolution() {
  SolutionRecord r{};
  r.leftCount = 2;
  r.rightCount = 2;
  r.termCount = 4;
  r.terms[0] = {158, 1};
  r.terms[1] = {134, -1};
  r.terms[2] = {133, -1};
  r.terms[3] = {59, 1};
  return r;
}

void CheckResultLog(const uint8_t* data, size_t size) {
  ResetForInput();
  const std::string name = ResultLogName(kPower);
  WriteInput(name.c_str(), data, size);
  int status = RunEngine([] { LoadResultLog(kPower); });
  if (status != -1) {
    Require(status == 1, "a refused log ends with status 1");
    return;
  }
  const std::vector<TermList> before = CheckStore(kPower);

  const SolutionRecord known = KnownSolution();
  gRun.CurrentPower = kPower;
  status = RunEngine([&] { LogSolution(known); });
  Require(status == -1, "a line is appended to a log that loads");
  ResetStore();
  ResetBestRight();
  status = RunEngine([] { LoadResultLog(kPower); });
  Require(status == -1, "the log still loads after an append");
  const std::vector<TermList> after = CheckStore(kPower);
  for (const TermList& record : before) {
    Require(std::binary_search(after.begin(), after.end(), record),
            "every solution of the log is still loaded after an append");
  }
  Require(std::binary_search(after.begin(), after.end(), SortedTerms(known.terms, 4)),
          "the appended solution is loaded");
}

void CheckSeedDatabase(const uint8_t* data, size_t size) {
  ResetForInput();
  WriteInput(kSeedDatabaseFile, data, size);
  int status = RunEngine([] { LoadSeedDatabase(kPower); });
  if (status != -1) {
    Require(status == 1, "a refused seed file ends with status 1");
    return;
  }
  CheckStore(kPower);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EnterPrivateFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckResultLog(data, size);
  CheckSeedDatabase(data, size);
  return 0;
}
