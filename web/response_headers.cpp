// The scan of the raw response header text, line by line, as the request routine does it.
#include "web/response_headers.h"

#include <optional>

#include "text/operations.h"
#include "text/text_between.h"
#include "web/fetch_web_page.h"

namespace lumaclip {

Text HeaderValue(const Text& line) {
  const int32_t colon = FindText(line, Text::Literal(":"), std::nullopt, false);
  if (colon == -1) return Text();
  return TrimBothEnds(TextRight(line, TextLength(line) - colon));
}

void ScanResponseHeaders(const Text& rawHeaders, Text& location, Text& responseCookies) {
  const TextArray lines = SplitText(rawHeaders, Text::Literal("\r\n"));
  responseCookies = Text();
  const int32_t count = ElementCount(lines);
  for (int32_t index = 1; index <= count; ++index) {
    const Text& line = ElementAt(lines, index);
    if (FindText(line, Text::Literal("Location:"), std::nullopt, false) != -1) {
      location = HeaderValue(line);
    }
    if (FindText(line, Text::Literal("Set-Cookie"), std::nullopt, false) != -1) {
      const Text item =
          TrimBothEnds(TextBetween(line, Text::Literal("Set-Cookie:"), Text::Literal(";")));
      responseCookies = ConcatText(responseCookies, item, Text::Literal("; "));
    }
  }
  responseCookies = TextLeft(responseCookies, TextLength(responseCookies) - 2);
}

void LocationFallback(Text& location, const Text& rawHeaders) {
  if (CompareText(location, Text()) == 0) {
    location = rawHeaders;
  }
}

}  // namespace lumaclip
