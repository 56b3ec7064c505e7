#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "store/solution_record.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using testing_support::CaptureOutput;
using testing_support::ReadFile;
using Terms = std::vector<std::pair<int32_t, int32_t>>;
using Counts = std::pair<int32_t, int32_t>;

SolutionRecord MakeRecord(const Terms& terms, int32_t m, int32_t n) {
  SolutionRecord r{};
  for (const auto& [base, multiplicity] : terms) r.terms[r.termCount++] = Term{base, multiplicity};
  r.leftCount = m;
  r.rightCount = n;
  return r;
}

Terms TermsOf(const SolutionRecord& r) {
  Terms terms;
  for (int32_t i = 0; i < r.termCount; ++i)
    terms.emplace_back(r.terms[i].base, r.terms[i].multiplicity);
  return terms;
}

Counts CountsOf(const SolutionRecord& r) {
  return {r.leftCount, r.rightCount};
}

SolutionRecord Canonical(const Terms& terms, int32_t m, int32_t n) {
  SolutionRecord r = MakeRecord(terms, m, n);
  Canonicalize(r);
  return r;
}

TEST(RecordCanonicalForm, OrientationHalvingAndSignature) {
  SolutionRecord r = MakeRecord({{3, 1}, {4, 1}, {5, -1}}, 2, 1);
  SortTerms(r);
  EXPECT_EQ(TermsOf(r), (Terms{{5, -1}, {4, 1}, {3, 1}}));
  Canonicalize(r);
  EXPECT_EQ(TermsOf(r), (Terms{{5, 1}, {4, -1}, {3, -1}}));
  EXPECT_EQ(CountsOf(r), Counts(1, 2));
  EXPECT_EQ(r.signature, 536870912u);

  SolutionRecord halved = Canonical({{5, 2}, {4, -2}, {3, -2}}, 2, 4);
  EXPECT_EQ(TermsOf(halved), TermsOf(r));
  EXPECT_EQ(CountsOf(halved), Counts(1, 2));
  EXPECT_EQ(halved.signature, 536870912u);

  SolutionRecord twice = Canonical({{5, 4}, {4, -4}, {3, -8}}, 4, 12);
  EXPECT_EQ(TermsOf(twice), (Terms{{5, 1}, {4, -1}, {3, -2}}));
  EXPECT_EQ(CountsOf(twice), Counts(1, 3));

  SolutionRecord oddFactor = Canonical({{5, 6}, {4, -6}, {3, -6}}, 6, 12);  // only twos go
  EXPECT_EQ(TermsOf(oddFactor), (Terms{{5, 3}, {4, -3}, {3, -3}}));
  EXPECT_EQ(CountsOf(oddFactor), Counts(3, 6));
}

TEST(RecordCanonicalForm, SignatureFoldAndBalancedRecords) {
  EXPECT_EQ(Canonical({{7, 1}}, 1, 1).signature, 2147483648u);
  EXPECT_EQ(Canonical({{7, -1}}, 0, 1).signature, 4294967295u);
  SolutionRecord negated = Canonical({{7, 1}}, 1, 0);  // m > n: the term turns to -1
  EXPECT_EQ(TermsOf(negated), (Terms{{7, -1}}));
  EXPECT_EQ(negated.signature, 4294967295u);

  // A tie keeps the signs, so a balanced record and its mirror image differ.
  SolutionRecord balanced = Canonical({{9, 1}, {8, 1}, {7, -1}, {6, -1}}, 2, 2);
  EXPECT_EQ(TermsOf(balanced), (Terms{{9, 1}, {8, 1}, {7, -1}, {6, -1}}));
  EXPECT_EQ(balanced.signature, 805306368u);
  SolutionRecord mirror = Canonical({{9, -1}, {8, -1}, {7, 1}, {6, 1}}, 2, 2);
  EXPECT_EQ(TermsOf(mirror), (Terms{{9, -1}, {8, -1}, {7, 1}, {6, 1}}));
  EXPECT_NE(mirror.signature, balanced.signature);
}

class RecordGuardTest : public testing_support::FolderTest {};

TEST_F(RecordGuardTest, InconsistentOrEmptyRecordsAreFatal) {
  const std::vector<SolutionRecord> bad = {
      MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 3, 4),  // even multiplicities, odd m
      MakeRecord({{5, 2}, {4, -2}, {3, -2}}, 2, 3),  // odd n
      MakeRecord({}, 0, 0),                          // would halve for ever
      MakeRecord({{3, 0}, {2, 0}}, 0, 0),
  };
  std::string expectedLog;
  for (SolutionRecord r : bad) {
    int status = 0;
    std::string out = CaptureOutput([&] { Canonicalize(r); }, &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "Error: Internal error\n\n");
    expectedLog += out;
  }
  EXPECT_EQ(ReadFile("Bug.txt"), expectedLog);
}

TEST(RecordOrder, SortAndOrient) {
  SolutionRecord r = MakeRecord({{3, 11}, {3, 22}, {5, 33}}, 0, 0);
  SortTerms(r);  // the first 3 is swapped to the end
  EXPECT_EQ(TermsOf(r), (Terms{{5, 33}, {3, 22}, {3, 11}}));
  SolutionRecord mixed = MakeRecord({{1, 1}, {7, -2}, {4, 3}, {9, -4}, {4, 5}}, 9, 6);
  SortTerms(mixed);
  EXPECT_EQ(TermsOf(mixed), (Terms{{9, -4}, {7, -2}, {4, 3}, {4, 5}, {1, 1}}));
  EXPECT_EQ(CountsOf(mixed), Counts(9, 6));

  SolutionRecord swapped = MakeRecord({{5, 1}, {4, 1}, {3, -1}}, 77, 77);
  swapped.signature = 12345;
  OrientRecord(swapped);  // counts and orients, no signature, no halving
  EXPECT_EQ(TermsOf(swapped), (Terms{{5, -1}, {4, -1}, {3, 1}}));
  EXPECT_EQ(CountsOf(swapped), Counts(1, 2));
  EXPECT_EQ(swapped.signature, 12345u);
  SolutionRecord tie = MakeRecord({{5, 1}, {4, -1}}, 0, 0);
  OrientRecord(tie);
  EXPECT_EQ(TermsOf(tie), (Terms{{5, 1}, {4, -1}}));
  EXPECT_EQ(CountsOf(tie), Counts(1, 1));
  SolutionRecord even = MakeRecord({{5, 2}, {4, -4}}, 0, 0);
  OrientRecord(even);
  EXPECT_EQ(TermsOf(even), (Terms{{5, 2}, {4, -4}}));
  EXPECT_EQ(CountsOf(even), Counts(2, 4));
  SolutionRecord none = MakeRecord({}, 5, 6);
  OrientRecord(none);
  EXPECT_EQ(CountsOf(none), Counts(0, 0));
  // Sums beyond 32 bits saturate instead of wrapping.
  SolutionRecord huge = MakeRecord({{5, INT32_MAX}, {4, INT32_MAX}, {3, -1}}, 0, 0);
  OrientRecord(huge);
  EXPECT_EQ(CountsOf(huge), Counts(1, INT32_MAX));
  EXPECT_EQ(huge.terms[0].multiplicity, -INT32_MAX);
}

}  // namespace
}  // namespace quorvex
