// The value kinds themselves: absent and present forms, copying and sharing of constants, the
// Bytes operations and the TextArray operations.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <utility>

#include "tests/text/text_checks.h"
#include "text/operations.h"
#include "text/values.h"

namespace lumaclip {
namespace {

using testing::B;
using testing::ExpectBytes;
using testing::ExpectText;
using testing::Shown;
using testing::T;

TEST(Text, AbsentAndPresentEmptyDifferOnlyAtThePlatform) {
  const Text absent;
  EXPECT_FALSE(absent.IsPresent());
  EXPECT_EQ(absent.PlatformPointer(), nullptr);
  EXPECT_STREQ(absent.CString(), "");
  EXPECT_EQ(absent.Length(), 0);

  const Text empty = Text::Literal("");
  EXPECT_TRUE(empty.IsPresent());
  ASSERT_NE(empty.PlatformPointer(), nullptr);
  EXPECT_EQ(*empty.PlatformPointer(), '\0');
  EXPECT_EQ(CompareText(absent, empty), 0);
}

TEST(Text, ConstantsAreSharedNotCopied) {
  static const char kLiteral[] = "constant";
  const Text constant = Text::Literal(kLiteral);
  EXPECT_EQ(constant.PlatformPointer(), kLiteral);
  EXPECT_EQ(constant.Length(), 8);
}

TEST(Text, CopiesKeepTheForm) {
  const Text absent;
  const Text absentCopy = absent;
  EXPECT_FALSE(absentCopy.IsPresent());

  const Text emptyCopy = Text::Literal("");
  const Text copyOfCopy = emptyCopy;
  EXPECT_TRUE(copyOfCopy.IsPresent());
  EXPECT_EQ(copyOfCopy.Length(), 0);

  const Text owned = T("abc");
  Text copy = owned;
  EXPECT_EQ(copy.View(), "abc");
  ASSERT_NE(copy.PlatformPointer(), owned.PlatformPointer());
  copy.MutableData()[0] = 'x';
  EXPECT_EQ(owned.View(), "abc");
  EXPECT_EQ(copy.View(), "xbc");

  Text assigned = T("old");
  assigned = owned;
  EXPECT_EQ(assigned.View(), "abc");
  assigned = absent;
  EXPECT_FALSE(assigned.IsPresent());
  Text self = T("self");
  Text& alias = self;
  self = alias;  // self-assignment keeps the value
  EXPECT_EQ(self.View(), "self");
}

TEST(Text, WritingAConstantCopiesItFirst) {
  static const char kLiteral[] = "keep";
  Text text = Text::Literal(kLiteral);
  text.MutableData()[0] = 'p';
  EXPECT_EQ(text.View(), "peep");
  EXPECT_STREQ(kLiteral, "keep");
  EXPECT_NE(text.PlatformPointer(), kLiteral);
}

TEST(Text, FromBytesStopsAtAZeroByte) {
  ExpectText(Text::FromBytes(std::string_view("ab\0c", 4)), "ab");
  ExpectText(Text::FromBytes(std::string_view("\0c", 2)), "");
  ExpectText(Text::FromBytes(""), "");
  ExpectText(Text::FromBytes("\xB0\xA1"), "\xB0\xA1");
}

TEST(Text, OwnedBlankIsWritable) {
  Text text = Text::OwnedBlank(3);
  EXPECT_TRUE(text.IsPresent());
  EXPECT_EQ(text.View(), "   ");
  text.MutableData()[1] = 'x';
  EXPECT_EQ(text.View(), " x ");
}

TEST(Bytes, TheConstantEmptyIsPresentAndEqualsAbsent) {
  const Bytes absent;
  EXPECT_FALSE(absent.IsPresent());
  EXPECT_EQ(absent.PlatformPointer(), nullptr);
  EXPECT_EQ(BytesLength(absent), 0);

  const Bytes empty = Bytes::EmptyConstant();
  EXPECT_TRUE(empty.IsPresent());
  EXPECT_NE(empty.PlatformPointer(), nullptr);
  EXPECT_EQ(BytesLength(empty), 0);
  EXPECT_TRUE(BytesEqual(absent, empty));
  EXPECT_TRUE(BytesEqual(empty, absent));
  EXPECT_TRUE(BytesEqual(empty, Bytes::FromBytes("")));

  const Bytes copy = empty;
  EXPECT_TRUE(copy.IsPresent());
  EXPECT_EQ(copy.Count(), 0);
}

TEST(Bytes, HoldEveryByteValueAndCopyOnAssignment) {
  const std::string_view raw("a\0b\xFF", 4);
  const Bytes bytes = B(raw);
  ExpectBytes(bytes, raw);
  EXPECT_EQ(BytesLength(bytes), 4);

  Bytes copy = bytes;
  ExpectBytes(copy, raw);
  ASSERT_NE(copy.PlatformPointer(), bytes.PlatformPointer());
  copy.MutableData()[0] = 'z';
  EXPECT_EQ(bytes.View(), raw);

  Bytes assigned = B("x");
  assigned = Bytes();
  ExpectBytes(assigned, "");
  ExpectBytes(B(""), "");
}

TEST(Bytes, AppendGrowsInPlaceOrder) {
  Bytes bytes;
  bytes.Append("ab");
  bytes.Append(std::string_view("\0c", 2));
  bytes.Append("");
  ExpectBytes(bytes, std::string_view("ab\0c", 4));
  std::string expected(bytes.View());
  for (int i = 0; i < 1000; ++i) {
    const std::string piece(static_cast<size_t>(i % 37), static_cast<char>(i));
    bytes.Append(piece);
    expected += piece;
  }
  EXPECT_EQ(bytes.View(), expected);
}

TEST(Bytes, AppendsItsOwnBytesWhileGrowing) {
  Bytes bytes = B("abcd");
  for (int i = 0; i < 6; ++i) bytes.Append(bytes.View());  // each round enlarges the block
  std::string expected = "abcd";
  for (int i = 0; i < 6; ++i) expected += expected;
  EXPECT_EQ(bytes.View(), expected);
  bytes.Append(bytes.View().substr(1, 2));
  EXPECT_EQ(bytes.View(), expected + "bc");
}

TEST(BytesEqual, ComparesCountsThenBytes) {
  EXPECT_TRUE(BytesEqual(B("abc"), B("abc")));
  EXPECT_FALSE(BytesEqual(B("abc"), B("abd")));
  EXPECT_FALSE(BytesEqual(B("ab"), B("abc")));
  EXPECT_FALSE(BytesEqual(B(std::string_view("a\0", 2)), B("a")));
  EXPECT_TRUE(BytesEqual(B(std::string_view("\0\0", 2)), BlankBytes(2)));
  EXPECT_FALSE(BytesEqual(Bytes(), B(std::string_view("\0", 1))));
}

TEST(BytesLeft, TakesTheFirstBytesClamped) {
  struct Case {
    int32_t count;
    std::string_view expected;
  };
  const Bytes three = B(std::string_view("a\0c", 3));
  const Case cases[] = {
      {10, std::string_view("a\0c", 3)},
      {3, std::string_view("a\0c", 3)},
      {2, std::string_view("a\0", 2)},
      {0, ""},
      {-1, ""},
      {INT32_MIN, ""},
      {INT32_MAX, std::string_view("a\0c", 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    ExpectBytes(BytesLeft(three, c.count), c.expected);
  }
  ExpectBytes(BytesLeft(Bytes(), 5), "");
  ExpectBytes(BytesLeft(Bytes::EmptyConstant(), 5), "");
}

TEST(BlankBytes, MakesZeroBytes) {
  ExpectBytes(BlankBytes(0), "");
  ExpectBytes(BlankBytes(-7), "");
  ExpectBytes(BlankBytes(INT32_MIN), "");
  ExpectBytes(BlankBytes(4), std::string(4, '\0'));
  EXPECT_TRUE(BytesEqual(BlankBytes(0), Bytes::EmptyConstant()));
}

TEST(ConcatBytes, JoinsInOrderAndEmptyIsAbsent) {
  const Bytes absent;
  ExpectBytes(ConcatBytes(absent, absent), "");
  ExpectBytes(ConcatBytes(Bytes::EmptyConstant(), Bytes::EmptyConstant()), "");
  ExpectBytes(ConcatBytes(absent, B("ab")), "ab");
  ExpectBytes(ConcatBytes(B("ab"), absent), "ab");
  ExpectBytes(ConcatBytes(B(std::string_view("a\0", 2)), Bytes::EmptyConstant(), B("\xFF")),
              std::string_view("a\0\xFF", 3));
  ExpectBytes(ConcatBytes(B("x")), "x");
}

TEST(ConcatBytes, AppendingToAGivenUpHeadKeepsTheBytes) {
  Bytes body;
  std::string expected;
  for (int i = 0; i < 500; ++i) {
    const std::string piece(static_cast<size_t>(i % 13), static_cast<char>('a' + i % 26));
    body = ConcatBytes(std::move(body), B(piece));
    expected += piece;
  }
  ExpectBytes(body, expected);

  Bytes empty = Bytes::EmptyConstant();
  ExpectBytes(ConcatBytes(std::move(empty), Bytes()), "");
  Bytes head;
  ExpectBytes(ConcatBytes(std::move(head), B("t")), "t");
}

TEST(CompareBytes, ComparesUnsignedOverTheCount) {
  struct Case {
    std::string_view a, b;
    int32_t count;
    int32_t expected;
  };
  const Case cases[] = {
      {"abc", "abd", 3, -1},
      {"abd", "abc", 3, 1},
      {"abc", "abd", 2, 0},
      {"\x80", "\x01", 1, 1},
      {"\x01", "\xFF", 1, -1},
      {"xyz", "abc", 0, 0},
      {std::string_view("a\0b", 3), std::string_view("a\0c", 3), 3, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.a) + " vs " + Shown(c.b) + " over " + std::to_string(c.count));
    EXPECT_EQ(CompareBytes(c.a.data(), c.b.data(), c.count), c.expected);
  }
}

TEST(TextToBytes, DropsTheZeroAndEmptyIsAbsent) {
  const Bytes bytes = TextToBytes(T("ab"));
  ExpectBytes(bytes, "ab");
  EXPECT_EQ(BytesLength(bytes), 2);
  ExpectBytes(TextToBytes(Text::Literal("")), "");
  ExpectBytes(TextToBytes(Text()), "");
  EXPECT_TRUE(BytesEqual(TextToBytes(Text::Literal("")), Bytes::EmptyConstant()));
}

TEST(BytesToText, StopsAtTheFirstZeroByte) {
  ExpectText(BytesToText(B(std::string_view("ab\0c", 4))), "ab");
  ExpectText(BytesToText(B(std::string_view("\0ab", 3))), "");
  ExpectText(BytesToText(Bytes()), "");
  ExpectText(BytesToText(Bytes::EmptyConstant()), "");
  ExpectText(BytesToText(B("\xB0\xA1x")), "\xB0\xA1x");

  const Text text = T("abc");
  const Text copy = BytesToText(text);
  EXPECT_EQ(copy.View(), "abc");
  EXPECT_TRUE(copy.IsPresent());
}

TEST(TextArray, StartsEmptyAndGrowsByAppendElement) {
  TextArray array;
  EXPECT_EQ(ElementCount(array), 0);
  AppendElement(array, T("x"));
  EXPECT_EQ(ElementCount(array), 1);
  ExpectText(ElementAt(array, 1), "x");

  AppendElement(array, Text());
  AppendElement(array, Text::Literal(""));
  ASSERT_EQ(ElementCount(array), 3);
  EXPECT_FALSE(ElementAt(array, 2).IsPresent());  // a copy of an absent text is absent
  EXPECT_TRUE(ElementAt(array, 3).IsPresent());
}

TEST(TextArray, AppendCopiesAndKeepsEarlierElementsInPlace) {
  TextArray array;
  Text source = T("first");
  AppendElement(array, source);
  EXPECT_NE(ElementAt(array, 1).PlatformPointer(), source.PlatformPointer());
  source.MutableData()[0] = 'F';
  EXPECT_EQ(ElementAt(array, 1).View(), "first");

  const char* firstStorage = ElementAt(array, 1).PlatformPointer();
  for (int i = 2; i <= 300; ++i) AppendElement(array, T(std::to_string(i)));
  ASSERT_EQ(ElementCount(array), 300);
  EXPECT_EQ(ElementAt(array, 1).PlatformPointer(), firstStorage);  // not copied again
  for (int i = 2; i <= 300; ++i) EXPECT_EQ(ElementAt(array, i).View(), std::to_string(i));
}

TEST(TextArray, ElementAtDesignatesTheElementItself) {
  TextArray array;
  AppendElement(array, T("a"));
  AppendElement(array, T("b"));
  ElementAt(array, 2) = T("changed");
  EXPECT_EQ(ElementAt(array, 2).View(), "changed");
  EXPECT_EQ(ElementAt(array, 1).View(), "a");

  TextArray copy = array;
  ElementAt(copy, 1) = T("other");
  EXPECT_EQ(ElementAt(array, 1).View(), "a");
}

}  // namespace
}  // namespace lumaclip
