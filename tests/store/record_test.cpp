#include <gtest/gtest.h>

#include "store/solution_record.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

// "m,n: base*multiplicity ... #signature".
std::string Show(const SolutionRecord& r) {
  std::string s = std::to_string(r.leftCount) + "," + std::to_string(r.rightCount) + ": ";
  for (int32_t i = 0; i < r.termCount; ++i) {
    s += std::to_string(r.terms[i].base) + "*" + std::to_string(r.terms[i].multiplicity) + ' ';
  }
  return s + "#" + std::to_string(r.signature);
}

template <typename Step>
std::string After(Step step, const std::vector<Term>& terms, int32_t m = 0, int32_t n = 0,
                  uint32_t signature = 0) {
  SolutionRecord r = MakeRecord(terms, m, n);
  r.signature = signature;
  step(r);
  return Show(r);
}

TEST(RecordCanonicalForm, OrientationHalvingAndSignature) {
  const std::pair<std::string, std::string> cases[] = {
      {After(Canonicalize, {{5, -1}, {4, 1}, {3, 1}}, 2, 1), "1,2: 5*1 4*-1 3*-1 #536870912"},
      {After(Canonicalize, {{5, 2}, {4, -2}, {3, -2}}, 2, 4), "1,2: 5*1 4*-1 3*-1 #536870912"},
      {After(Canonicalize, {{5, 4}, {4, -4}, {3, -8}}, 4, 12), "1,3: 5*1 4*-1 3*-2 #2684354560"},
      // Only factors of two are taken out.
      {After(Canonicalize, {{5, 6}, {4, -6}, {3, -6}}, 6, 12), "3,6: 5*3 4*-3 3*-3 #3758096385"},
      {After(Canonicalize, {{7, 1}}, 1, 1), "1,1: 7*1 #2147483648"},
      {After(Canonicalize, {{7, -1}}, 0, 1), "0,1: 7*-1 #4294967295"},
      {After(Canonicalize, {{7, 1}}, 1, 0), "0,1: 7*-1 #4294967295"},  // m > n: negated
      // A tie keeps the signs, so a balanced record and its mirror image differ.
      {After(Canonicalize, {{9, 1}, {8, 1}, {7, -1}, {6, -1}}, 2, 2),
       "2,2: 9*1 8*1 7*-1 6*-1 #805306368"},
      {After(Canonicalize, {{9, -1}, {8, -1}, {7, 1}, {6, 1}}, 2, 2),
       "2,2: 9*-1 8*-1 7*1 6*1 #3221225472"},
  };
  for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST(RecordOrder, SortAndOrient) {
  const std::pair<std::string, std::string> cases[] = {
      {After(SortTerms, {{3, 1}, {4, 1}, {5, -1}}, 2, 1), "2,1: 5*-1 4*1 3*1 #0"},
      // Equal bases: the first is swapped to the end.
      {After(SortTerms, {{3, 11}, {3, 22}, {5, 33}}), "0,0: 5*33 3*22 3*11 #0"},
      {After(SortTerms, {{1, 1}, {7, -2}, {4, 3}, {9, -4}, {4, 5}}, 9, 6),
       "9,6: 9*-4 7*-2 4*3 4*5 1*1 #0"},
      // Counts and orients; no signature, no halving.
      {After(OrientRecord, {{5, 1}, {4, 1}, {3, -1}}, 77, 77, 12345), "1,2: 5*-1 4*-1 3*1 #12345"},
      {After(OrientRecord, {{5, 1}, {4, -1}}), "1,1: 5*1 4*-1 #0"},
      {After(OrientRecord, {{5, 2}, {4, -4}}), "2,4: 5*2 4*-4 #0"},
      {After(OrientRecord, {}, 5, 6), "0,0: #0"},
      // Sums beyond 32 bits saturate instead of wrapping.
      {After(OrientRecord, {{5, INT32_MAX}, {4, INT32_MAX}, {3, -1}}),
       "1,2147483647: 5*-2147483647 4*-2147483647 3*1 #0"},
  };
  for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST_F(FolderTest, InconsistentOrEmptyRecordsAreFatal) {
  const SolutionRecord bad[] = {
      MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 3, 4),  // even multiplicities, odd m
      MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 2, 3),  // odd n
      MakeRecord({}, 0, 0),                          // would halve for ever
      MakeRecord({{3, 0}, {2, 0}}, 0, 0),
  };
  for (SolutionRecord r : bad)
    EXPECT_EQ(Ended([&] { Canonicalize(r); }), Fatal("Internal error\n"));
  std::string log;
  for (int i = 0; i < 4; ++i) log += "Error: Internal error\n\n";
  EXPECT_EQ(ReadFile("Bug.txt"), log);
}

}  // namespace
}  // namespace quorvex
