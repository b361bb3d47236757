// The text operations: measuring, cutting, building, searching, replacing, splitting, clean-up
// and number parsing, each as a table of cases with the form of the result checked as well.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "tests/text/text_checks.h"
#include "text/operations.h"
#include "text/values.h"

namespace lumaclip {
namespace {

using testing::ElementsOf;
using testing::ExpectText;
using testing::Shown;
using testing::T;

// 0xB0 0xA1 is a two-byte character; 0xA1 0xA1 is the full-width space.
constexpr char kWide[] = "\xB0\xA1";
constexpr char kFullWidthSpace[] = "\xA1\xA1";

TEST(TextLength, CountsBytesBeforeTheZero) {
  EXPECT_EQ(TextLength(Text()), 0);
  EXPECT_EQ(TextLength(Text::Literal("")), 0);
  EXPECT_EQ(TextLength(T("abc")), 3);
  EXPECT_EQ(TextLength(T(kWide)), 2);
  EXPECT_EQ(TextLength(T(std::string_view("ab\0cd", 5))), 2);
}

struct CutCase {
  std::string text;
  int32_t start;  // TextMid only
  int32_t count;
  std::string expected;
};

TEST(TextLeft, TakesTheFirstBytesClamped) {
  const CutCase cases[] = {
      {"abc", 0, 5, "abc"},
      {"abc", 0, 3, "abc"},
      {"abc", 0, 2, "ab"},
      {"abc", 0, 0, ""},
      {"abc", 0, -1, ""},
      {"abc", 0, INT32_MIN, ""},
      {"abc", 0, INT32_MAX, "abc"},
      {"", 0, 3, ""},
      {"\xB0\xA1\x62", 0, 1, "\xB0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.text) + " count " + std::to_string(c.count));
    ExpectText(TextLeft(T(c.text), c.count), c.expected);
  }
}

TEST(TextRight, TakesTheLastBytesClamped) {
  const CutCase cases[] = {
      {"abc", 0, 1, "c"},           {"abc", 0, 2, "bc"}, {"abc", 0, 3, "abc"}, {"abc", 0, 9, "abc"},
      {"abc", 0, INT32_MAX, "abc"}, {"abc", 0, 0, ""},   {"abc", 0, -2, ""},   {"", 0, 1, ""},
      {"a\xB0\xA1", 0, 1, "\xA1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.text) + " count " + std::to_string(c.count));
    ExpectText(TextRight(T(c.text), c.count), c.expected);
  }
}

TEST(TextMid, TakesAtMostCountBytesFromStart) {
  const CutCase cases[] = {
      {"abcdef", 0, 3, ""},  // a start below 1 is not moved to 1
      {"abcdef", -4, 10, ""},
      {"abcdef", 7, 1, ""},
      {"abcdef", 2, 0, ""},
      {"abcdef", 2, -1, ""},
      {"abcdef", 5, 10, "ef"},
      {"abcdef", 2, 3, "bcd"},
      {"abcdef", 1, 6, "abcdef"},
      {"abcdef", 6, 1, "f"},
      {"abcdef", 3, INT32_MAX, "cdef"},  // start + count overflows 32 bits
      {"abcdef", INT32_MAX, INT32_MAX, ""},
      {"abcdef", INT32_MIN, INT32_MAX, ""},
      {"", 1, 1, ""},
      {"\xB0\xA1\xB0\xA1", 2, 2, "\xA1\xB0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.text) + " start " + std::to_string(c.start) + " count " +
                 std::to_string(c.count));
    ExpectText(TextMid(T(c.text), c.start, c.count), c.expected);
  }
}

TEST(ConcatText, JoinsInOrderAndIsAlwaysPresent) {
  const Text absent;
  const Text both = ConcatText(absent, absent);
  EXPECT_TRUE(both.IsPresent());
  EXPECT_EQ(both.Length(), 0);
  EXPECT_STREQ(both.PlatformPointer(), "");
  EXPECT_EQ(CompareText(both, absent), 0);

  const Text empties = ConcatText(Text::Literal(""), absent, Text::Literal(""));
  EXPECT_TRUE(empties.IsPresent());
  EXPECT_EQ(empties.Length(), 0);

  const Text joined = ConcatText(T("ab"), absent, Text::Literal("c"), T(kWide), T("d"));
  EXPECT_EQ(Shown(joined.View()), Shown("abc\xB0\xA1"
                                        "d"));
  EXPECT_TRUE(joined.IsPresent());
  EXPECT_EQ(joined.CString()[joined.Length()], '\0');

  const Text one = ConcatText(T("x"));
  EXPECT_EQ(one.View(), "x");
}

TEST(ConcatText, LeavesItsPartsAlone) {
  const Text a = T("left");
  const Text b = Text::Literal("right");
  const Text joined = ConcatText(a, b, a);
  EXPECT_EQ(joined.View(), "leftrightleft");
  EXPECT_EQ(a.View(), "left");
  EXPECT_EQ(b.View(), "right");
}

TEST(CompareText, OrdersByUnsignedBytes) {
  struct Case {
    std::optional<std::string> a, b;  // nullopt: absent
    int32_t expected;
  };
  const Case cases[] = {
      {std::nullopt, "", 0}, {"", std::nullopt, 0},   {std::nullopt, std::nullopt, 0},
      {"ab", "abc", -1},     {"abc", "ab", 1},        {"b", "a", 1},
      {"A", "a", -1},        {"a", "A", 1},           {"abc", "abc", 0},
      {"\x80", "\x7F", 1},  // unsigned: 0x80 sorts after 0x7F
      {"\x7F", "\xFF", -1},  {std::nullopt, "a", -1}, {"a", std::nullopt, 1},
  };
  for (const auto& c : cases) {
    const Text a = c.a ? Text::FromBytes(*c.a) : Text();
    const Text b = c.b ? Text::FromBytes(*c.b) : Text();
    SCOPED_TRACE((c.a ? Shown(*c.a) : "absent") + " vs " + (c.b ? Shown(*c.b) : "absent"));
    EXPECT_EQ(CompareText(a, b), c.expected);
  }
  EXPECT_EQ(CompareText(Text::Literal(""), Text()), 0);
}

TEST(BlankText, MakesSpaces) {
  ExpectText(BlankText(0), "");
  ExpectText(BlankText(-1), "");
  ExpectText(BlankText(INT32_MIN), "");
  ExpectText(BlankText(1), " ");
  ExpectText(BlankText(5000), std::string(5000, ' '));
}

TEST(CharFromCode, MakesOneByte) {
  ExpectText(CharFromCode(0), "");
  EXPECT_EQ(CharFromCode(0).PlatformPointer(), nullptr);
  ExpectText(CharFromCode(65), "A");
  ExpectText(CharFromCode(0x22), "\"");
  ExpectText(CharFromCode(0xB0), "\xB0");
  ExpectText(CharFromCode(255), "\xFF");
}

struct FindCase {
  std::string text;
  std::string sought;
  std::optional<int32_t> start;
  bool ignoreCase;
  int32_t expected;
};

TEST(FindText, FindsTheFirstMatchAtACharacterStart) {
  const std::nullopt_t out = std::nullopt;
  const FindCase cases[] = {
      {"User-Agent: x", "user-agent:", out, true, 1},
      {"User-Agent: x", "user-agent:", out, false, -1},
      {"User-Agent: x", "User-Agent:", out, false, 1},
      // Start positions: below 1 counts as 1, past the end finds nothing.
      {"abcabc", "c", 0, false, 3},
      {"abcabc", "c", -5, false, 3},
      {"abcabc", "c", 1, false, 3},
      {"abcabc", "c", 3, false, 3},
      {"abcabc", "c", out, false, 3},
      {"abcabc", "c", 4, false, 6},
      {"abcabc", "c", 6, false, 6},
      {"abcabc", "c", 7, false, -1},
      {"abcabc", "c", INT32_MIN, false, 3},
      {"abcabc", "c", INT32_MAX, false, -1},
      // The empty sought text.
      {"abc", "", 1, false, 1},
      {"abc", "", 3, false, 1},
      {"abc", "", out, true, 1},
      {"abc", "", 4, false, -1},
      {"", "", out, false, -1},
      {"", "a", out, false, -1},
      // Only where at least the sought length remains.
      {"aaa", "aa", out, false, 1},
      {"aaa", "aa", 2, false, 2},
      {"aaa", "aa", 3, false, -1},
      {"ab", "abc", out, false, -1},
      // Two-byte characters are stepped over whole.
      {"\xB0\xA1\xA1\xA1", kFullWidthSpace, out, false, 3},
      {"\xB0\xA1\x62", "b", out, false, 3},
      {"\xB0\xA1\x62", "b", 3, false, 3},
      {"\xB0\xA1\x62", "b", 2, false, -1},  // the walk starts on a second byte, out of step
      {"\xB0\xA1\xA1\xA1", kFullWidthSpace, 2, false, 2},
      {"\xB0\x61\x62", "ab", out, true, -1},
      {"\xB0\x61\x62", "b", out, false, 3},
      {"ab\x81", "\x81", out, false, 3},  // a lone lead byte is still looked at
      {"a\xB0", "\xB0", 2, false, 2},
      // Only A-Z fold, and they fold in every byte, second bytes included.
      {"ABC", "bc", out, true, 2},
      {"abc", "BC", out, true, 2},
      {"\xB0\x41", "\xB0\x61", out, true, 1},
      {"\xB0\x41", "\xB0\x61", out, false, -1},
      {"x@", "`", out, true, -1},
      {"x[", "{", out, true, -1},
      {"x\xC1", "\xE1", out, true, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.sought) + " in " + Shown(c.text) + " from " +
                 (c.start ? std::to_string(*c.start) : "(left out)") +
                 (c.ignoreCase ? " ignoring case" : ""));
    EXPECT_EQ(FindText(T(c.text), T(c.sought), c.start, c.ignoreCase), c.expected);
  }
}

TEST(FindText, TreatsAbsentAndPresentEmptyAlike) {
  EXPECT_EQ(FindText(Text(), Text(), std::nullopt, false), -1);
  EXPECT_EQ(FindText(Text::Literal(""), Text::Literal(""), std::nullopt, false), -1);
  EXPECT_EQ(FindText(T("abc"), Text::Literal(""), 2, false), 1);
  EXPECT_EQ(FindText(Text(), T("a"), std::nullopt, true), -1);
}

TEST(FindTextReverse, FindsTheLastMatchAtACharacterStart) {
  const FindCase cases[] = {
      {"a:b:c", ":", std::nullopt, false, 4},
      {"aaa", "aa", std::nullopt, false, 2},
      {"abc", "x", std::nullopt, false, -1},
      {"abc", "", std::nullopt, false, 1},
      {"", "", std::nullopt, false, -1},
      {"", "a", std::nullopt, false, -1},
      {"AbAB", "ab", std::nullopt, true, 3},
      {"AbAB", "ab", std::nullopt, false, -1},
      {"abAB", "ab", std::nullopt, false, 1},
      {"\xA1\xA1\xA1\xA1", kFullWidthSpace, std::nullopt, false, 3},
      {"\xB0\xA1\xA1", kFullWidthSpace, std::nullopt, false, -1},
      {"\xB0\xA1\xA1\xA1", kFullWidthSpace, std::nullopt, false, 3},
      {"a\x81", "\x81", std::nullopt, false, 2},
      {"b\xB0\x62", "b", std::nullopt, false, 1},
      {"\xB0\x41x", "\xB0\x61", std::nullopt, true, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.sought) + " in " + Shown(c.text) + (c.ignoreCase ? " ignoring case" : ""));
    EXPECT_EQ(FindTextReverse(T(c.text), T(c.sought), c.ignoreCase), c.expected);
  }
}

TEST(ReplaceSubtext, ReplacesFromTheLeftWithoutOverlap) {
  struct Case {
    std::string text, sought, replacement, expected;
  };
  const Case cases[] = {
      {"aXXbXX", "XX", "-", "a-b-"},
      {"aaa", "aa", "b", "ba"},
      {"ABC", "b", "x", "ABC"},  // exact bytes, letter case counts
      {"abc", "", "x", "abc"},
      {"", "a", "x", ""},
      {"aXXb", "XX", "", "ab"},
      {"XXXX", "XX", "", ""},
      {"abc", "abc", "", ""},
      {"a.b.c", ".", "..", "a..b..c"},  // the inserted text is not searched again
      {"aa", "a", "aa", "aaaa"},
      {"abc", "abcd", "x", "abc"},
      {"xab", "ab", "#", "x#"},
      // Two-byte characters are stepped over whole.
      {"\xB0\xA1\xA1\xA1", kFullWidthSpace, "-", "\xB0\xA1-"},
      {"\xB0\x61\x62", "ab", "x", "\xB0\x61\x62"},
      {"\xB0\x22x\x22", "\"", "'", "\xB0\x22x'"},
      // A lone lead byte that does not match is dropped (one-byte sought text only).
      {"a\x81", "b", "x", "a"},
      {"a\x81", "\x81", "x", "ax"},
      {"ab\x81", "zz", "x", "ab\x81"},  // fewer than two bytes left: kept unchanged
      {"\x81", "b", "x", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.sought) + " by " + Shown(c.replacement) + " in " + Shown(c.text));
    ExpectText(ReplaceSubtext(T(c.text), T(c.sought), T(c.replacement)), c.expected);
  }
}

TEST(ReplaceSubtext, CopiesTheTextWhenNothingIsSought) {
  const Text text = T("abc");
  const Text copy = ReplaceSubtext(text, Text(), T("x"));
  EXPECT_EQ(copy.View(), "abc");
  EXPECT_NE(copy.PlatformPointer(), text.PlatformPointer());
  ExpectText(ReplaceSubtext(Text(), Text(), Text()), "");
}

TEST(SplitText, CutsAtSeparatorsWithAbsentEmptyPieces) {
  using testing::Elements;
  const auto absent = std::nullopt;
  struct Case {
    std::string text, separator;
    Elements expected;
  };
  const Case cases[] = {
      {"a;;b", ";", {"a", absent, "b"}},
      {"a;b;", ";", {"a", "b"}},
      {"a;;", ";", {"a", absent}},
      {";a", ";", {absent, "a"}},
      {";", ";", {absent}},
      {";;", ";", {absent, absent}},
      {"", ";", {}},
      {"abc", "", {"abc"}},
      {"", "", {}},
      {"abc", ";", {"abc"}},
      {"x\r\ny\r\n", "\r\n", {"x", "y"}},
      {"x\r\n\r\n", "\r\n", {"x", absent}},
      {"a=1; b=2", "; ", {"a=1", "b=2"}},
      {"aXb", "x", {"aXb"}},  // letter case counts
      {"ab", "abc", {"ab"}},
      {"aaa", "aa", {absent, "a"}},
      // Two-byte characters are stepped over whole.
      {"\xB0;a", ";", {"\xB0;a"}},
      {"x\xA1\xA1y", kFullWidthSpace, {"x", "y"}},
      {"\xB0\xA1\xA1\xA1", kFullWidthSpace, {"\xB0\xA1"}},
      {"a;\x81", ";", {"a", "\x81"}},  // a lone lead byte stays in the last piece
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.text) + " by " + Shown(c.separator));
    const TextArray array = SplitText(T(c.text), T(c.separator));
    EXPECT_EQ(ElementCount(array), static_cast<int32_t>(c.expected.size()));
    EXPECT_EQ(ElementsOf(array), c.expected);
  }
}

TEST(SplitText, EmptySeparatorCopiesAPresentText) {
  const Text text = Text::Literal("abc");
  const TextArray array = SplitText(text, Text());
  ASSERT_EQ(ElementCount(array), 1);
  EXPECT_EQ(ElementAt(array, 1).View(), "abc");
}

struct CleanCase {
  std::string text, expected;
};

TEST(ToLowerCase, FoldsSingleByteAToZOnly) {
  const CleanCase cases[] = {
      {"ABC", "abc"},
      {"aBc", "abc"},
      {"\x81\x41", "\x81\x41"},  // a second byte is never changed
      {"\xB0\x41\x41",
       "\xB0\x41"
       "a"},
      {"A\x81", "a\x81"},  // a lone lead byte stays
      {"@[`{Z", "@[`{z"},
      {"\xC1\xC4", "\xC1\xC4"},
      {"", ""},
      {"123 -", "123 -"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.text));
    ExpectText(ToLowerCase(T(c.text)), c.expected);
  }
}

TEST(TrimBothEnds, TrimsSpacesAndFullWidthSpaces) {
  const CleanCase cases[] = {
      {"  a b  ", "a b"},
      {"\ta\t", "\ta\t"},
      {"\r\nx\r\n", "\r\nx\r\n"},
      {"\xA1\xA1x y\xA1\xA1", "x y"},
      {" \xA1\xA1 x\xA1\xA1 \xA1\xA1", "x"},
      {"   ", ""},
      {"\xA1\xA1", ""},
      {"", ""},
      {"abc", "abc"},
      // A lone lead byte at the end ends the result; spaces before it stay.
      {"a \x81", "a "},
      {"a  \x81", "a  "},
      {"\x81", ""},
      {"  \x81", ""},
      {" \xA1", ""},
      // A space as second byte of a two-byte character is not a space.
      {"\xB0\xA1\xA1 ", "\xB0\xA1\xA1 "},
      {"x\xB0 ", "x\xB0 "},
      {"\xB0\xA1\xA1\xA1", "\xB0\xA1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.text));
    ExpectText(TrimBothEnds(T(c.text)), c.expected);
  }
}

TEST(RemoveAllSpaces, DropsEverySpaceWherever) {
  const CleanCase cases[] = {
      {"a b\xA1\xA1x\td", "abx\td"},
      {"  a  b  ", "ab"},
      {"   ", ""},
      {"\xA1\xA1\xA1\xA1", ""},
      {"", ""},
      {"a b\x81", "ab"},  // a lone lead byte at the end is dropped
      {"\xB0\xA1\xA1\xA1", "\xB0\xA1"},
      {"\xB0 a", "\xB0 a"},  // 0xB0 0x20 is one character
      {"\r\n\t", "\r\n\t"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.text));
    ExpectText(RemoveAllSpaces(T(c.text)), c.expected);
  }
}

TEST(ToInteger, ReadsALeadingNumber) {
  struct Case {
    std::string text;
    int32_t expected;
  };
  const Case cases[] = {
      {"  -12abc", -12},
      {"+7", 7},
      {"\t\n5", 5},
      {"\v\f\r 9", 9},
      {"\xA3\xB8\xA3\xB0", 80},           // full-width digits
      {"\xA3\xAD\xA3\xB1\xA3\xB2", -12},  // full-width minus
      {"\xA3\xAB"
       "3",
       3},  // full-width plus
      {"\xA1\xA1\xA1\xA1"
       "42",
       42},  // full-width spaces
      {"\xA1\xA1\xA3\xB5", 5},
      {"\xA1\xA1\xA1\xA3\xB5", 0},  // 0xA1 0xA3 is no space
      {"1\xB0\xA3\xB2", 1},         // 0xB0 0xA3 is one character, not folded
      {"\xA3\xB1\x81", 1},          // a lone lead byte is dropped
      {"\xA1\xAB"
       "1",
       0},  // a tilde is no sign
      {"12 34", 12},
      {"abc", 0},
      {"", 0},
      {"0x1A", 0},
      {"-", 0},
      {"+-5", 0},
      {"--5", 0},
      {"- 5", 0},
      {"-0", 0},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483647", -2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", INT32_MIN},
      {"-2147483649", 2147483647},
      {"4294967295", -1},
      {"4294967296", 0},
      {"4294967301", 5},
      {"99999999999", 1215752191},
      {"-99999999999", -1215752191},
      {"123456789012345678901234567890", 1312754386},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.text));
    EXPECT_EQ(ToInteger(T(c.text)), c.expected);
  }
  EXPECT_EQ(ToInteger(Text()), 0);
}

TEST(BitOr, OrsTheBits) {
  EXPECT_EQ(BitOr(1, 2), 3);
  EXPECT_EQ(BitOr(0, 0), 0);
  EXPECT_EQ(BitOr(-1, 0), -1);
  EXPECT_EQ(BitOr(INT32_MIN, 1), INT32_MIN + 1);
  EXPECT_EQ(BitOr(0x0F0, 0x00F), 0x0FF);
}

// The operations never write into their arguments: shared constants live in read-only storage.
TEST(TextOperations, LeaveConstantArgumentsUntouched) {
  const Text text = Text::Literal("  Ab;C d\xA1\xA1 ");
  const Text sought = Text::Literal(";");
  const char* before = text.PlatformPointer();
  ToLowerCase(text);
  TrimBothEnds(text);
  RemoveAllSpaces(text);
  ReplaceSubtext(text, sought, Text::Literal("xx"));
  SplitText(text, sought);
  FindText(text, Text::Literal("ab"), std::nullopt, true);
  FindTextReverse(text, sought, true);
  ToInteger(text);
  TextMid(text, 2, 3);
  EXPECT_EQ(text.PlatformPointer(), before);
  EXPECT_EQ(text.View(), "  Ab;C d\xA1\xA1 ");
  EXPECT_EQ(sought.View(), ";");
}

// A borrowed text has no zero byte after its bytes: every operation must stop at its length
// (the sanitizer build catches a read past it).
TEST(TextOperations, ReadABorrowedTextOnlyUpToItsLength) {
  const std::string_view page = "  Key: A\xB0\xA1 b;c\xA1\xA1 12\x81";
  std::unique_ptr<char[]> bytes(new char[page.size()]);
  std::memcpy(bytes.get(), page.data(), page.size());
  const Text text = Text::Borrowed(std::string_view(bytes.get(), page.size()));

  EXPECT_EQ(FindText(text, Text::Literal("\x81"), std::nullopt, false), 20);
  EXPECT_EQ(FindText(text, Text::Literal("KEY:"), std::nullopt, true), 3);
  EXPECT_EQ(FindTextReverse(text, Text::Literal(" "), true), 17);
  ExpectText(ReplaceSubtext(text, Text::Literal(";"), Text::Literal("|")),
             "  Key: A\xB0\xA1 b|c\xA1\xA1 12");
  EXPECT_EQ(ElementCount(SplitText(text, Text::Literal("\xA1\xA1"))), 2);
  ExpectText(TrimBothEnds(text), "Key: A\xB0\xA1 b;c\xA1\xA1 12");
  ExpectText(RemoveAllSpaces(text),
             "Key:A\xB0\xA1"
             "b;c12");
  ExpectText(ToLowerCase(text), "  key: a\xB0\xA1 b;c\xA1\xA1 12\x81");
  EXPECT_EQ(ToInteger(TextRight(text, 3)), 12);
  ExpectText(TextMid(text, 3, 3), "Key");
  EXPECT_EQ(CompareText(text, T(page)), 0);
  ExpectText(ConcatText(text, Text::Literal("!")), std::string(page) + "!");
  ExpectText(BytesToText(TextToBytes(text)), page);
}

}  // namespace
}  // namespace lumaclip
