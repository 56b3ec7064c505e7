#include <cstdio>

#include "base/fatal_error.hpp"
#include "base/line_reader.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using namespace testing_support;

using Lines = std::vector<std::string>;

// Every line of `content`; "<eof>" marks the -1 result.
Lines ReadAll(const std::string& content) {
  WriteFile("in.txt", content);
  std::FILE* f = std::fopen("in.txt", "r");
  LineReader reader(f);
  Lines lines;
  for (int32_t n = 0; n >= 0;) {
    n = reader.Next();
    EXPECT_EQ(std::string(reader.LineBuffer()).size(), static_cast<size_t>(std::max(n, 0)));
    lines.emplace_back(n < 0 ? "<eof>" : reader.LineBuffer());
  }
  std::fclose(f);
  return lines;
}

Outcome ReadRefused(const std::string& content, int32_t limit = kLineLimit) {
  WriteFile("in.txt", content);
  return Ended([&] {
    LineReader reader(std::fopen("in.txt", "r"), limit);
    reader.Next();
  });
}

using LineReaderTest = FolderTest;

TEST_F(LineReaderTest, LineEndsCarriageReturnsAndEndOfFile) {
  EXPECT_EQ(ReadAll(""), Lines({"<eof>"}));
  EXPECT_EQ(ReadAll("a\nlast"), Lines({"a", "last", "<eof>"}));
  EXPECT_EQ(ReadAll("\n\r\r\nx\r\n"), Lines({"", "", "x", "<eof>"}));
  EXPECT_EQ(ReadAll("ab\x1a"
                    "cd\rE\n"),
            Lines({"abcdE", "<eof>"}));
}

TEST_F(LineReaderTest, LengthLimits) {
  std::string longest(7999, 'x'), full(8000, 'y'), first = std::string(7999, 'a') + "b";
  EXPECT_EQ(ReadAll(longest + "\r\r\n"), Lines({longest, "<eof>"}));
  EXPECT_EQ(ReadRefused(full + "\n"), Outcome("Buffer too short B 8000,8000\n", 1));
  // Without a line end, and with dropped characters behind the 8000th.
  EXPECT_EQ(ReadRefused(full + "\r\x1a"), Outcome("Buffer too short B 8000,8000\n", 1));
  EXPECT_EQ(ReadRefused(first + "c\n"),
            Outcome("Buffer too short A 8000,8000\n" + first + "\n", 1));
  EXPECT_EQ(ReadRefused("x\n", kLineLimit + 1), Outcome("Error buffer\n", 1));
}

TEST(ReadDecimal, DigitsStopsAndWrapAround) {
  // Each case: the text, its value and the digits consumed.
  const std::tuple<const char*, int32_t, size_t> cases[] = {
      {"123,45", 123, 3},
      {"-5", 0, 0},
      {"+5", 0, 0},
      {"", 0, 0},
      {"007)", 7, 3},
      {"2147483647", 2147483647, 10},
      {"2147483648", INT32_MIN, 10},
      {"99999999999999999999", 1661992959, 20},
      {"5\xb9", 5, 1}};
  for (const auto& [text, value, consumed] : cases) {
    const char* cursor = text;
    EXPECT_EQ(ReadDecimal(cursor), value) << text;
    EXPECT_EQ(cursor, text + consumed) << text;
  }
}

TEST_F(FolderTest, FatalErrorAppendsToBugFileAndEndsWithStatusOne) {
  EXPECT_EQ(Ended([] { FatalError("Bad parameter\n"); }), Fatal("Bad parameter\n"));
  EXPECT_EQ(Ended([] { FatalErrorF("Wrong line: %s\n", "zz"); }), Fatal("Wrong line: zz\n"));
  EXPECT_EQ(ReadFile("Bug.txt"), "Error: Bad parameter\n\nError: Wrong line: zz\n\n");
}

}  // namespace
}  // namespace quorvex
