// TextBetween: the piece after the first left marker up to the next right marker, with the
// placeholder for a double quote in the markers and the character scan of both searches.
#include "text/text_between.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "tests/text/text_checks.h"
#include "text/values.h"

namespace lumaclip {
namespace {

using testing::ExpectText;
using testing::Shown;
using testing::T;

// "#引号": the number sign, then 引 and 号 in code page 936.
constexpr char kQuote[] = "#\xD2\xFD\xBA\xC5";

struct BetweenCase {
  std::string text, left, right;
  int32_t start;
  bool caseSensitive;
  std::string expected;
};

TEST(TextBetween, CutsBetweenTheMarkers) {
  const std::string q = kQuote;
  const BetweenCase cases[] = {
      {"ab\"cd\"ef", q, q, 0, false, "cd"},
      {"<img class=\"video-preview\" src=\"https://v.example/a/b.jpg?x\">",
       "class=" + q + "video-preview" + q + " src=" + q, ".jpg", 0, false, "https://v.example/a/b"},
      {"src=\"x\"", "src=" + q, q, 0, false, "x"},
      // Letter case is ignored unless the case flag is set.
      {"xxHELLO=world;yy", "hello=", ";", 0, false, "world"},
      {"xxHELLO=world;yy", "hello=", ";", 0, true, ""},
      {"<A>v</A>", "<a>", "</a>", 0, false, "v"},
      {"<a>v</A>", "<a>", "</a>", 0, true, ""},
      {"<a>v</a>", "<a>", "</a>", 0, true, "v"},
      {"`a`", "@", "@", 0, false, ""},                 // only A-Z fold
      {"\xB0\x41v;", "\xB0\x61", ";", 0, false, "v"},  // second bytes fold too
      // The placeholder in the searched text is not touched.
      {std::string("ab") + kQuote + "cd" + kQuote, q, q, 0, false, ""},
      {std::string("a\"") + kQuote + "\"", q, q, 0, false, kQuote},
      // The first left marker wins; the piece may hold the left marker again.
      {"L1L2R", "L", "R", 0, false, "1L2"},
      {"R0L1R2", "L", "R", 0, false, "1"},
      {"R0L1", "L", "R", 0, false, ""},
      {"abcd", "abc", "cd", 0, false, ""},  // the right marker overlaps the left one's end
      {"abcdcd", "abc", "cd", 0, false, "d"},
      {"LRx", "L", "R", 0, false, ""},
      {"xxL", "L", "R", 0, false, ""},
      {"xxL", "L", "", 0, false, ""},
      // Start positions.
      {"L1RL2R", "L", "R", 0, false, "1"},
      {"L1RL2R", "L", "R", -3, false, "1"},
      {"L1RL2R", "L", "R", INT32_MIN, false, "1"},
      {"L1RL2R", "L", "R", 1, false, "1"},
      {"L1RL2R", "L", "R", 2, false, "2"},
      {"L1RL2R", "L", "R", 4, false, "2"},
      {"L1RL2R", "L", "R", 5, false, ""},
      {"L1RL2R", "L", "R", 7, false, ""},
      {"L1RL2R", "L", "R", INT32_MAX, false, ""},
      {"xLabyR", "Lab", "R", 2, false, "y"},
      {"xLabyR", "Lab", "R", 3, false, ""},  // past the first byte of the only occurrence
      // Empty markers.
      {"abc;d", "a", "", 0, false, ""},
      {"abc;d", "", "", 0, false, ""},
      {"abc;d", "", ";", 0, false, "abc"},
      {"abc", "", ";", 0, false, ""},
      {"a;b;c", "", ";", 3, false, "a"},  // an empty left marker is found at position 1
      {"", "a", "b", 0, false, ""},
      {"", "", "", 0, false, ""},
      // Both searches step over two-byte characters.
      {"\xB0\"a\"b\"", q, q, 0, false, "b"},
      {"\xB0L1R", "L", "R", 0, false, ""},
      {"\xB0L1R", "L", "R", 2, false, "1"},  // a walk begun on a second byte
      {"L\xB0R1R", "L", "R", 0, false, "\xB0R1"},
      {"Lx\xA1\xA1y", "L", "\xA1\xA1", 0, false, "x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.text) + " between " + Shown(c.left) + " and " + Shown(c.right) + " from " +
                 std::to_string(c.start) + (c.caseSensitive ? " matching case" : ""));
    const Text text = T(c.text);
    const Text left = T(c.left);
    const Text right = T(c.right);
    ExpectText(TextBetween(text, left, right, c.start, c.caseSensitive), c.expected);
    EXPECT_EQ(text.View(), c.text);
    EXPECT_EQ(left.View(), c.left);
    EXPECT_EQ(right.View(), c.right);
  }
}

TEST(TextBetween, DefaultsSearchFromTheStartIgnoringCase) {
  const Text text = T("Set-Cookie: SID=abc; Path=/");
  ExpectText(TextBetween(text, T("set-cookie:"), T(";")), " SID=abc");
  ExpectText(TextBetween(text, T("set-cookie:"), T(";"), 0), " SID=abc");
  ExpectText(TextBetween(text, T("set-cookie:"), T(";"), 0, false), " SID=abc");
}

TEST(TextBetween, TakesConstantMarkersWithoutWritingThem) {
  static const char kLeft[] = "src=#\xD2\xFD\xBA\xC5";
  static const char kRight[] = "#\xD2\xFD\xBA\xC5";
  const Text left = Text::Literal(kLeft);
  const Text right = Text::Literal(kRight);
  ExpectText(TextBetween(Text::Literal("<x src=\"a.jpg\">"), left, right), "a.jpg");
  EXPECT_STREQ(kLeft, "src=#\xD2\xFD\xBA\xC5");
  EXPECT_EQ(left.PlatformPointer(), kLeft);
  EXPECT_EQ(right.View(), kQuote);
}

TEST(TextBetween, AbsentTextsReadAsEmpty) {
  ExpectText(TextBetween(Text(), Text(), Text()), "");
  ExpectText(TextBetween(T("abc;"), Text(), T(";")), "abc");
  ExpectText(TextBetween(T("abc;"), Text::Literal(""), T(";")), "abc");
}

}  // namespace
}  // namespace lumaclip
