#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <utility>

#include "control/fatal_error.hpp"
#include "store/solution_record.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using testing_support::CaptureOutput;
using testing_support::FolderTest;
using testing_support::ReadFile;

using TermList = std::initializer_list<std::pair<int32_t, int32_t>>;

SolutionRecord MakeRecord(TermList terms, int32_t m, int32_t n) {
  SolutionRecord r{};
  for (const auto& [base, multiplicity] : terms) r.terms[r.termCount++] = Term{base, multiplicity};
  r.leftCount = m;
  r.rightCount = n;
  return r;
}

void ExpectTerms(const SolutionRecord& r, TermList expected) {
  ASSERT_EQ(r.termCount, static_cast<int32_t>(expected.size()));
  int32_t i = 0;
  for (const auto& [base, multiplicity] : expected) {
    EXPECT_EQ(r.terms[i].base, base) << "term " << i;
    EXPECT_EQ(r.terms[i].multiplicity, multiplicity) << "term " << i;
    ++i;
  }
}

TEST(RecordCanonicalForm, PythagoreanTripleSwapsSidesAndSigns) {
  SolutionRecord r = MakeRecord({{3, 1}, {4, 1}, {5, -1}}, 2, 1);
  SortTerms(r);
  ExpectTerms(r, {{5, -1}, {4, 1}, {3, 1}});
  EXPECT_EQ(r.leftCount, 2);
  EXPECT_EQ(r.rightCount, 1);
  Canonicalize(r);
  ExpectTerms(r, {{5, 1}, {4, -1}, {3, -1}});
  EXPECT_EQ(r.leftCount, 1);
  EXPECT_EQ(r.rightCount, 2);
  EXPECT_EQ(r.signature, 536870912u);
}

TEST(RecordCanonicalForm, HalvingRemovesOnlyFactorsOfTwo) {
  SolutionRecord once = MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 2, 4);
  Canonicalize(once);
  ExpectTerms(once, {{5, 1}, {4, -1}, {3, -1}});
  EXPECT_EQ(once.leftCount, 1);
  EXPECT_EQ(once.rightCount, 2);
  EXPECT_EQ(once.signature, 536870912u);

  SolutionRecord twice = MakeRecord({{5, 4}, {4, -4}, {3, -8}}, 4, 12);
  Canonicalize(twice);
  ExpectTerms(twice, {{5, 1}, {4, -1}, {3, -2}});
  EXPECT_EQ(twice.leftCount, 1);
  EXPECT_EQ(twice.rightCount, 3);

  // A common odd factor stays.
  SolutionRecord odd = MakeRecord({{5, 6}, {4, -6}, {3, -6}}, 6, 12);
  Canonicalize(odd);
  ExpectTerms(odd, {{5, 3}, {4, -3}, {3, -3}});
  EXPECT_EQ(odd.leftCount, 3);
  EXPECT_EQ(odd.rightCount, 6);
}

TEST(RecordCanonicalForm, SignatureFoldRotatesRightAfterEachXor) {
  SolutionRecord plus = MakeRecord({{2, 1}}, 1, 0);
  Canonicalize(plus);  // m > n: the single term is negated to -1
  EXPECT_EQ(plus.signature, 4294967295u);
  EXPECT_EQ(plus.terms[0].multiplicity, -1);

  SolutionRecord minus = MakeRecord({{2, -1}}, 0, 1);
  Canonicalize(minus);  // m <= n: kept as it is
  EXPECT_EQ(minus.terms[0].multiplicity, -1);
  EXPECT_EQ(minus.signature, 4294967295u);

  SolutionRecord left = MakeRecord({{2, 1}, {1, -1}}, 1, 1);
  Canonicalize(left);
  // 1 -> rotate -> 0x80000000; xor -1 -> 0x7FFFFFFF -> rotate -> 0xBFFFFFFF
  EXPECT_EQ(left.signature, 0xBFFFFFFFu);

  // Balanced: the signs are kept, and the mirror image is a different record.
  SolutionRecord balanced = MakeRecord({{9, 1}, {8, 1}, {7, -1}, {6, -1}}, 2, 2);
  Canonicalize(balanced);
  ExpectTerms(balanced, {{9, 1}, {8, 1}, {7, -1}, {6, -1}});
  EXPECT_EQ(balanced.signature, 805306368u);
  SolutionRecord mirror = MakeRecord({{9, -1}, {8, -1}, {7, 1}, {6, 1}}, 2, 2);
  Canonicalize(mirror);
  ExpectTerms(mirror, {{9, -1}, {8, -1}, {7, 1}, {6, 1}});
  EXPECT_NE(mirror.signature, balanced.signature);

  // +1 alone keeps its sign only when the stored counts say m <= n.
  SolutionRecord single = MakeRecord({{7, 1}}, 1, 1);
  Canonicalize(single);
  EXPECT_EQ(single.terms[0].multiplicity, 1);
  EXPECT_EQ(single.signature, 2147483648u);
}

class RecordGuardTest : public FolderTest {};

TEST_F(RecordGuardTest, EvenMultiplicitiesWithOddCountIsFatal) {
  SolutionRecord r = MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 3, 4);
  int status = 0;
  std::string out = CaptureOutput([&] { Canonicalize(r); }, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out, "Error: Internal error\n\n");
  EXPECT_EQ(ReadFile("Bug.txt"), "Error: Internal error\n\n");
}

TEST_F(RecordGuardTest, RecordWithoutNonZeroMultiplicityStopsInsteadOfLooping) {
  SolutionRecord empty = MakeRecord({}, 0, 0);
  int status = 0;
  CaptureOutput([&] { Canonicalize(empty); }, &status);
  EXPECT_EQ(status, 1);

  SolutionRecord zeros = MakeRecord({{3, 0}, {2, 0}}, 0, 0);
  CaptureOutput([&] { Canonicalize(zeros); }, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(ReadFile("Bug.txt"), "Error: Internal error\n\nError: Internal error\n\n");
}

TEST(RecordOrder, SelectionSortMovesFirstEqualBaseToTheEnd) {
  SolutionRecord r = MakeRecord({{3, 11}, {3, 22}, {5, 33}}, 0, 0);
  SortTerms(r);
  ExpectTerms(r, {{5, 33}, {3, 22}, {3, 11}});

  SolutionRecord longer = MakeRecord({{1, 1}, {7, -2}, {4, 3}, {9, -4}, {4, 5}}, 9, 6);
  SortTerms(longer);
  ExpectTerms(longer, {{9, -4}, {7, -2}, {4, 3}, {4, 5}, {1, 1}});
  EXPECT_EQ(longer.leftCount, 9);  // counts untouched
  EXPECT_EQ(longer.rightCount, 6);
}

TEST(RecordOrient, CountsBothSidesAndPutsTheSmallerOnTheLeft) {
  SolutionRecord r = MakeRecord({{5, 1}, {4, 1}, {3, -1}}, 77, 77);
  r.signature = 12345;
  OrientRecord(r);
  ExpectTerms(r, {{5, -1}, {4, -1}, {3, 1}});
  EXPECT_EQ(r.leftCount, 1);
  EXPECT_EQ(r.rightCount, 2);
  EXPECT_EQ(r.signature, 12345u);  // no signature, no halving

  SolutionRecord tie = MakeRecord({{5, 1}, {4, -1}}, 0, 0);
  OrientRecord(tie);
  ExpectTerms(tie, {{5, 1}, {4, -1}});
  EXPECT_EQ(tie.leftCount, 1);
  EXPECT_EQ(tie.rightCount, 1);

  SolutionRecord none = MakeRecord({}, 5, 6);
  OrientRecord(none);
  EXPECT_EQ(none.leftCount, 0);
  EXPECT_EQ(none.rightCount, 0);

  SolutionRecord even = MakeRecord({{5, 2}, {4, -4}}, 0, 0);
  OrientRecord(even);
  ExpectTerms(even, {{5, 2}, {4, -4}});
  EXPECT_EQ(even.leftCount, 2);
  EXPECT_EQ(even.rightCount, 4);

  // Sums beyond 32 bits saturate instead of wrapping.
  SolutionRecord huge = MakeRecord({{5, INT32_MAX}, {4, INT32_MAX}, {3, -1}}, 0, 0);
  OrientRecord(huge);
  EXPECT_EQ(huge.leftCount, 1);
  EXPECT_EQ(huge.rightCount, INT32_MAX);
  EXPECT_EQ(huge.terms[0].multiplicity, -INT32_MAX);
}

}  // namespace
}  // namespace quorvex
