// Merging the cookies a response sets into the caller's cookie text, and the list helpers.
#include "web/cookies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/operations.h"

namespace lumaclip {
namespace {

TextArray ListOf(const std::vector<std::string>& items) {
  TextArray list;
  for (const std::string& item : items) AppendElement(list, Text::FromBytes(item));
  return list;
}

struct MergeCase {
  std::string note;
  std::string cookies;
  std::string response;
  std::string merged;
  std::string responseAfter;
};

TEST(MergeCookies, FoldsTheResponseIntoTheCallersCookies) {
  const MergeCase cases[] = {
      {"worked example", "a=1; b=2; c=3", "b=20; d=4; c=deleted", "b=20; d=4; a=1",
       "b=20;d=4;c=deleted"},
      {"both empty", "", "", "", ""},
      {"only the response", "", "b=2; a=1; b=2; c=deleted", "b=2; a=1", "b=2;a=1;b=2;c=deleted"},
      {"only the caller", "a=1; a=2; b=deleted; c=3", "", "a=1; c=3", ""},
      {"spaces inside values are lost", "x=hello world", "", "x=helloworld", ""},
      {"full-width spaces too", "x=a\xA1\xA1z", "y = 2", "y=2; x=az", "y=2"},
      {"a trailing separator", "a=1;b=2;", "", "a=1; b=2", ""},
      {"the caller's first of a name", "a=1; a=2", "", "a=1", ""},
      {"the response's repeated names stay", "", "a=1; a=2", "a=1; a=2", "a=1;a=2"},
      {"byte-identical repeats go", "", "a=1; a=1", "a=1", "a=1;a=1"},
      {"names differ by case", "A=1", "a=2", "a=2; A=1", "a=2"},
      {"a response deletion", "a=1; b=2", "a=deleted", "b=2", "a=deleted"},
      {"a caller's deletion keeps out its later names", "b=deleted; b=1", "", "", ""},
      {"a deletion leaves the response's other items", "", "a=1; a=deleted", "a=1",
       "a=1;a=deleted"},
      {"a deletion in another case is an item", "a=DELETED", "", "a=DELETED", ""},
      {"=deleted alone goes, deleted without = stays", "=deleted; deleted", "", "deleted", ""},
      {"an item without = is all name", "flag; a=1", "flag=on", "flag=on; a=1", "flag=on"},
      {"an empty item in the middle", "a=1;;b=2", "", "a=1; ; b=2", ""},
      {"an empty item at the end", "a=1;;", "", "a=1", ""},
      {"an empty item first", ";a=1", "", "; a=1", ""},
      // Only the last separator is cut before the repeats go, so the first empty item ends up
      // last, separator and all.
      {"a repeated empty item last", "", "a;;a;;", "a; ", "a;;a;;"},
      {"values holding =", "t=a=b", "t=c=d", "t=c=d", "t=c=d"},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.note);
    Text cookies = Text::FromBytes(c.cookies);
    Text response = Text::FromBytes(c.response);
    const Text returned = MergeCookies(cookies, response);
    EXPECT_EQ(cookies.View(), c.merged);
    EXPECT_EQ(response.View(), c.responseAfter);
    EXPECT_EQ(returned.View(), c.merged);
  }
}

TEST(MergeCookies, ALargeJarKeepsItsOrder) {
  // A jar of a thousand cookies a side keeps the exact order of the merge.
  std::string caller, response, expected;
  for (int i = 0; i < 1000; ++i) {
    caller += "c" + std::to_string(i) + "=" + std::to_string(i) + "; ";
    if (i % 2 == 0) response += "c" + std::to_string(i) + "=r; ";
  }
  for (int i = 0; i < 1000; i += 2) expected += "c" + std::to_string(i) + "=r; ";
  for (int i = 1; i < 1000; i += 2)
    expected += "c" + std::to_string(i) + "=" + std::to_string(i) + "; ";
  expected.resize(expected.size() - 2);
  Text cookies = Text::FromBytes(caller);
  Text responseCookies = Text::FromBytes(response);
  MergeCookies(cookies, responseCookies);
  EXPECT_EQ(cookies.View(), expected);
}

TEST(CookieName, IsTheTrimmedTextBeforeTheFirstEquals) {
  const struct {
    std::string item;
    std::string name;
  } cases[] = {
      {"a=1", "a"},     {"a=b=c", "a"},     {"  a b  =1", "a b"}, {"\xA1\xA1n\xA1\xA1=1", "n"},
      {"flag", "flag"}, {" flag ", "flag"}, {"=v", ""},           {"", ""},
      {"\tx=1", "\tx"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("item: " + c.item);
    EXPECT_EQ(CookieName(Text::FromBytes(c.item)).View(), c.name);
  }
}

TEST(HasCookieName, ComparesNamesByteForByte) {
  const TextArray list = ListOf({"a=1", "flag", " b =2", ""});
  EXPECT_TRUE(HasCookieName(list, Text::Literal("a")));
  EXPECT_TRUE(HasCookieName(list, Text::Literal("flag")));
  EXPECT_TRUE(HasCookieName(list, Text::Literal("b")));
  EXPECT_TRUE(HasCookieName(list, Text()));
  EXPECT_FALSE(HasCookieName(list, Text::Literal("A")));
  EXPECT_FALSE(HasCookieName(list, Text::Literal("1")));
  EXPECT_FALSE(HasCookieName(TextArray(), Text()));
}

TEST(IndexInList, GivesTheFirstEqualElement) {
  const TextArray list = ListOf({"x", "y", "x", ""});
  EXPECT_EQ(IndexInList(list, Text::Literal("x")), 1);
  EXPECT_EQ(IndexInList(list, Text::Literal("y")), 2);
  EXPECT_EQ(IndexInList(list, Text()), 4);
  EXPECT_EQ(IndexInList(list, Text::Literal("X")), -1);
  EXPECT_EQ(IndexInList(TextArray(), Text()), -1);
}

TEST(JoinDistinct, KeepsEachPieceOnceInItsFirstPlace) {
  const struct {
    std::string text;
    std::string separator;
    std::string joined;
  } cases[] = {
      {"a; b; a; c; b", "; ", "a; b; c"},
      {"a;;a;", ";", "a;"},  // the empty piece is a piece, kept once
      {";a;;", ";", ";a"},
      {"a; b; ", "; ", "a; b"},
      {"", "; ", ""},
      {"abc", "", "abc"},
      {"A,a,A", ",", "A,a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("text: " + c.text + " separator: " + c.separator);
    EXPECT_EQ(JoinDistinct(Text::FromBytes(c.text), Text::FromBytes(c.separator)).View(), c.joined);
  }
}

}  // namespace
}  // namespace lumaclip
