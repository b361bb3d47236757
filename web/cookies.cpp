// Cookie texts and the merge of the cookies a response sets into the caller's cookie text.
//
// The merge and JoinDistinct are defined as linear scans over lists; they keep hash sets of the
// names and pieces already taken instead, which gives the same results (names and pieces compare
// byte for byte) without the quadratic cost on large cookie jars.
#include "web/cookies.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "text/operations.h"

namespace lumaclip {
namespace {

const Text kItemSeparator = Text::Literal(";");
const Text kJoinSeparator = Text::Literal("; ");
const Text kEquals = Text::Literal("=");
const Text kDeleted = Text::Literal("=deleted");

bool IsDeletion(const Text& item) {
  return CompareText(TextRight(item, 8), kDeleted) == 0;
}

}  // namespace

Text CookieName(const Text& item) {
  const int32_t equals = FindText(item, kEquals, std::nullopt, false);
  if (equals != -1) {
    return TrimBothEnds(TextLeft(item, equals - 1));
  }
  return TrimBothEnds(item);
}

bool HasCookieName(const TextArray& list, const Text& name) {
  const int32_t count = ElementCount(list);
  for (int32_t i = 1; i <= count; ++i) {
    if (CompareText(CookieName(ElementAt(list, i)), name) == 0) {
      return true;
    }
  }
  return false;
}

int32_t IndexInList(const TextArray& list, const Text& text) {
  const int32_t count = ElementCount(list);
  for (int32_t i = 1; i <= count; ++i) {
    if (CompareText(ElementAt(list, i), text) == 0) {
      return i;
    }
  }
  return -1;
}

Text JoinDistinct(const Text& text, const Text& separator) {
  const TextArray pieces = SplitText(text, separator);
  const int32_t count = ElementCount(pieces);
  std::unordered_set<std::string_view> seen;
  std::string joined;
  for (int32_t i = 1; i <= count; ++i) {
    const Text& piece = ElementAt(pieces, i);
    // The views point into `pieces`, which lives until the end and never grows.
    if (seen.insert(piece.View()).second) {
      joined.append(piece.View());
      joined.append(separator.View());
    }
  }
  return TextLeft(Text::FromBytes(joined),
                  static_cast<int32_t>(joined.size()) - TextLength(separator));
}

Text MergeCookies(Text& cookies, Text& responseCookies) {
  cookies = RemoveAllSpaces(cookies);
  responseCookies = RemoveAllSpaces(responseCookies);

  const TextArray old = SplitText(cookies, kItemSeparator);
  TextArray merged = SplitText(responseCookies, kItemSeparator);

  // The names of every element of `merged`, including the old ones appended below: an old item
  // is kept only when no element before it has its name.
  std::unordered_set<std::string> names;
  const int32_t responseCount = ElementCount(merged);
  for (int32_t i = 1; i <= responseCount; ++i) {
    names.insert(std::string(CookieName(ElementAt(merged, i)).View()));
  }
  const int32_t oldCount = ElementCount(old);
  for (int32_t i = 1; i <= oldCount; ++i) {
    const Text& item = ElementAt(old, i);
    if (names.insert(std::string(CookieName(item).View())).second) {
      AppendElement(merged, item);
    }
  }

  // A deletion took part above, keeping out later items of its name; it is left out here.
  std::string kept;
  const int32_t mergedCount = ElementCount(merged);
  for (int32_t i = 1; i <= mergedCount; ++i) {
    const Text& item = ElementAt(merged, i);
    if (!IsDeletion(item)) {
      kept.append(item.View());
      kept.append(kJoinSeparator.View());
    }
  }
  const Text keptText = Text::FromBytes(kept);
  cookies = JoinDistinct(TextLeft(keptText, TextLength(keptText) - 2), kJoinSeparator);
  return cookies;
}

}  // namespace lumaclip
