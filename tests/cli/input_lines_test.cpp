// Lines of standard input: CR LF line ends, blank lines skipped, a last line without a line end,
// and a bound on the length of a line.
#include "cli/input_lines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace lumaclip::cli {
namespace {

std::vector<InputLine> ReadAll(const std::string& input) {
  std::FILE* stream = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), stream);
  std::rewind(stream);
  LineReader reader(stream);
  std::vector<InputLine> lines;
  while (std::optional<InputLine> line = reader.Next()) lines.push_back(std::move(*line));
  EXPECT_FALSE(reader.Next()) << "the end stays the end";
  std::fclose(stream);
  return lines;
}

TEST(InputLines, SplitsAndSkipsBlankLines) {
  const struct {
    std::string input;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\n\n \t \r\n\nb", {"a", "b"}},
      {" a \n", {" a "}},  // the link as given, spaces and all
      {"a\rb\n", {"a\rb"}},
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    std::vector<std::string> texts;
    for (const InputLine& line : ReadAll(c.input)) {
      EXPECT_FALSE(line.tooLong);
      texts.push_back(line.text);
    }
    EXPECT_EQ(texts, c.lines);
  }
}

TEST(InputLines, BoundsALongLine) {
  const std::vector<InputLine> lines = ReadAll(std::string(kLongestLine + 10, 'x') + "\nnext\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].tooLong);
  EXPECT_EQ(lines[0].text.size(), kLongestLine);
  EXPECT_FALSE(lines[1].tooLong);
  EXPECT_EQ(lines[1].text, "next");
}

}  // namespace
}  // namespace lumaclip::cli
