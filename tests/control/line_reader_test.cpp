#include <cstdio>
#include <string>
#include <vector>

#include "control/fatal_error.hpp"
#include "control/line_reader.hpp"
#include "test_support.hpp"

namespace quorvex {
namespace {

using testing_support::CaptureOutput;
using testing_support::FolderTest;
using testing_support::ReadFile;
using testing_support::WriteFile;

class LineReaderTest : public FolderTest {
 protected:
  // Reads the whole file; each entry is a line, "<eof>" marks the -1 result.
  std::vector<std::string> ReadAll(const std::string& content) {
    WriteFile("in.txt", content);
    std::FILE* f = std::fopen("in.txt", "r");
    std::vector<std::string> lines;
    for (;;) {
      int32_t n = LineReader(f, kLineLimit);
      EXPECT_EQ(gLine.LineCursor, gLine.LineBuffer);
      if (n < 0) {
        EXPECT_EQ(gLine.LineBuffer[0], '\0');
        lines.push_back("<eof>");
        break;
      }
      EXPECT_EQ(static_cast<size_t>(n), std::string(gLine.LineBuffer).size());
      lines.emplace_back(gLine.LineBuffer);
    }
    std::fclose(f);
    return lines;
  }

  // Reads one line that the reader refuses; returns the console output.
  std::string ReadRefused(const std::string& content, int* status) {
    WriteFile("in.txt", content);
    std::FILE* f = std::fopen("in.txt", "r");
    std::string out = CaptureOutput([&] { LineReader(f, kLineLimit); }, status);
    std::fclose(f);
    return out;
  }
};

using Lines = std::vector<std::string>;

TEST_F(LineReaderTest, LineEndsCarriageReturnsAndEndOfFile) {
  EXPECT_EQ(ReadAll(""), Lines({"<eof>"}));
  EXPECT_EQ(ReadAll("a\n"), Lines({"a", "<eof>"}));
  EXPECT_EQ(ReadAll("a\nlast"), Lines({"a", "last", "<eof>"}));
  EXPECT_EQ(ReadAll("\n\r\r\nx\r\n"), Lines({"", "", "x", "<eof>"}));
  EXPECT_EQ(ReadAll("ab\x1a"
                    "cd\rE\n"),
            Lines({"abcdE", "<eof>"}));
}

TEST_F(LineReaderTest, LengthLimits) {
  std::string longest(7999, 'x');
  EXPECT_EQ(ReadAll(longest + "\r\r\n"), Lines({longest, "<eof>"}));

  int status = 0;
  EXPECT_EQ(ReadRefused(std::string(8000, 'y') + "\n", &status), "Buffer too short B 8000,8000\n");
  EXPECT_EQ(status, 1);
  // Without a line end, and with dropped characters behind the 8000th.
  EXPECT_EQ(ReadRefused(std::string(8000, 'y') + "\r\x1a", &status),
            "Buffer too short B 8000,8000\n");
  EXPECT_EQ(status, 1);

  std::string first = std::string(7999, 'a') + "b";
  EXPECT_EQ(ReadRefused(first + "c\n", &status), "Buffer too short A 8000,8000\n" + first + "\n");
  EXPECT_EQ(status, 1);

  WriteFile("in.txt", "x\n");
  std::FILE* f = std::fopen("in.txt", "r");
  EXPECT_EQ(CaptureOutput([&] { LineReader(f, kLineLimit + 1); }, &status), "Error buffer\n");
  EXPECT_EQ(status, 1);
  std::fclose(f);
}

TEST(ReadDecimal, DigitsStopsAndWrapAround) {
  struct Case {
    const char* text;
    int32_t value;
    size_t consumed;
  };
  const Case cases[] = {{"123,45", 123, 3},
                        {"x12", 0, 0},
                        {"-5", 0, 0},
                        {"+5", 0, 0},
                        {"", 0, 0},
                        {"007)", 7, 3},
                        {"2147483647", 2147483647, 10},
                        {"2147483648", INT32_MIN, 10},
                        {"4294967297", 1, 10},
                        {"99999999999999999999", 1661992959, 20},
                        {"5\xb9", 5, 1}};
  for (const Case& c : cases) {
    gLine.LineCursor = c.text;
    EXPECT_EQ(ReadDecimal(), c.value) << c.text;
    EXPECT_EQ(gLine.LineCursor, c.text + c.consumed) << c.text;
  }
}

TEST_F(FolderTest, FatalErrorAppendsToBugFileAndEndsWithStatusOne) {
  int status = 0;
  EXPECT_EQ(CaptureOutput([] { FatalError("Bad parameter\n"); }, &status),
            "Error: Bad parameter\n\n");
  EXPECT_EQ(status, 1);
  CaptureOutput([] { FatalErrorF("Wrong line: %s\n", "zz"); }, &status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(ReadFile("Bug.txt"), "Error: Bad parameter\n\nError: Wrong line: zz\n\n");
}

}  // namespace
}  // namespace quorvex
