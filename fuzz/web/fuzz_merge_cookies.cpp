// MergeCookies on arbitrary cookie texts (the input split at its first zero byte into the caller's
// text and the response's): the result equals a plain linear-scan merge built from the list
// helpers, holds no "=deleted" item and no byte-identical repeat, and lists the response's items
// first, in their order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/operations.h"
#include "web/cookies.h"

namespace {

using namespace lumaclip;

void Require(bool condition) {
  if (!condition) std::abort();
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The merge written out step by step, every lookup a scan of the list.
Text ReferenceMerge(const Text& cookies, const Text& responseCookies) {
  const Text separator = Text::Literal(";");
  const Text joiner = Text::Literal("; ");
  const TextArray old = SplitText(RemoveAllSpaces(cookies), separator);
  TextArray merged = SplitText(RemoveAllSpaces(responseCookies), separator);
  const int32_t oldCount = ElementCount(old);
  for (int32_t i = 1; i <= oldCount; ++i) {
    if (!HasCookieName(merged, CookieName(ElementAt(old, i)))) {
      AppendElement(merged, ElementAt(old, i));
    }
  }
  Text text = ConcatText(Text());
  const int32_t mergedCount = ElementCount(merged);
  for (int32_t i = 1; i <= mergedCount; ++i) {
    if (CompareText(TextRight(ElementAt(merged, i), 8), Text::Literal("=deleted")) != 0) {
      text = ConcatText(text, ElementAt(merged, i), joiner);
    }
  }
  text = TextLeft(text, TextLength(text) - 2);

  const TextArray pieces = SplitText(text, joiner);
  TextArray seen;
  Text joined;
  const int32_t pieceCount = ElementCount(pieces);
  for (int32_t i = 1; i <= pieceCount; ++i) {
    if (IndexInList(seen, ElementAt(pieces, i)) == -1) {
      AppendElement(seen, ElementAt(pieces, i));
      joined = ConcatText(joined, ElementAt(pieces, i), joiner);
    }
  }
  return TextLeft(joined, TextLength(joined) - TextLength(joiner));
}

std::vector<std::string> Items(const Text& text, const Text& separator) {
  const TextArray list = SplitText(text, separator);
  std::vector<std::string> items;
  for (int32_t i = 1; i <= ElementCount(list); ++i) {
    items.emplace_back(ElementAt(list, i).View());
  }
  return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = input.find('\0');
  const Text callerText = Text::FromBytes(input.substr(0, zero));
  const Text responseText =
      zero == std::string_view::npos ? Text() : Text::FromBytes(input.substr(zero + 1));

  Text cookies = callerText;
  Text responseCookies = responseText;
  const Text returned = MergeCookies(cookies, responseCookies);

  Require(returned.View() == cookies.View());
  Require(responseCookies.View() == RemoveAllSpaces(responseText).View());
  Require(cookies.View() == ReferenceMerge(callerText, responseText).View());

  const std::vector<std::string> items = Items(cookies, Text::Literal("; "));
  for (std::size_t i = 0; i < items.size(); ++i) {
    Require(!EndsWith(items[i], "=deleted"));
    for (std::size_t j = 0; j < i; ++j) Require(items[i] != items[j]);
  }

  // The response's kept items open the result in their order (empty items aside, since an empty
  // item that ends up last is dropped).
  std::vector<std::string> responseKept;
  for (const std::string& item : Items(responseCookies, Text::Literal(";"))) {
    if (item.empty() || EndsWith(item, "=deleted")) continue;
    bool repeat = false;
    for (const std::string& kept : responseKept) repeat = repeat || kept == item;
    if (!repeat) responseKept.push_back(item);
  }
  std::size_t next = 0;
  for (const std::string& item : items) {
    if (item.empty()) continue;
    if (next == responseKept.size()) break;
    Require(item == responseKept[next]);
    ++next;
  }
  Require(next == responseKept.size());
  return 0;
}
