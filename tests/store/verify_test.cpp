#include "store/verify.hpp"
#include "store/result_log.hpp"
#include "store/seed_database.hpp"
#include "store/solution_store.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;
class Verify : public FolderTest {};

// Loads the two text files for the power, verifies; returns the result and output.
std::pair<int, std::string> LoadAndVerify(int32_t power) {
  int result = -1;
  CaptureOutput([power] {
    ResetStore();
    LoadSeedDatabase(power);
    LoadResultLog(power);
  });
  std::string out = CaptureOutput([&] { result = VerifyAll(power); });
  return {result, out};
}

TEST_F(Verify, KnownIdentitiesHold) {
  WriteFile("DATABASE.TXT",
            "(5,1,4) 144=133+110+84+27\n(3,1,3) 6=5+4+3\n(4,1,4) 353=315+272+120+30\n");
  WriteFile("DATA4.TXT", "(4,2,2) 158+59=134+133 (0,0)\n");
  EXPECT_EQ(LoadAndVerify(4), std::make_pair(0, std::string("Checked 4 solutions, 0 false\n")));
  EXPECT_EQ(LoadAndVerify(5), std::make_pair(0, std::string("Checked 2 solutions, 0 false\n")));
  EXPECT_EQ(LoadAndVerify(3), std::make_pair(0, std::string("Checked 2 solutions, 0 false\n")));
}

TEST_F(Verify, FalseIdentitiesAreListedAndFail) {
  // 2^4 = 2 * 1^4 is false; a 250-Term line cannot be checked.
  std::string longLine = "(4,125,125) 1";
  for (int i = 1; i < 250; ++i) longLine += i == 125 ? "=1" : "+1";
  WriteFile("DATABASE.TXT", "(4,1,2) 2=1*2\n" + longLine + "\n");
  WriteFile("DATA4.TXT", "(4,2,2) 158+59=134+132 (0,0)\n(4,2,2) 158+59=134+133 (0,0)\n");
  EXPECT_EQ(LoadAndVerify(4), std::make_pair(1,
                                             "False identity in the store: (4,1,2) 2=1*2\n"
                                             "False identity in the store: (4,2,2) 158+59=134+132\n"
                                             "False identity in DATA4.TXT: (4,2,2) 158+59=134+132\n"
                                             "False identity in DATABASE.TXT: (4,1,2) 2=1*2\n"
                                             "Not checkable in DATABASE.TXT (250 Terms): " +
                                                 longLine + "\nChecked 6 solutions, 4 false\n"));
}

}  // namespace
}  // namespace quorvex
