// The scan of a raw response header text for the redirect target and the cookies, and HeaderValue,
// without any library.
#include "web/response_headers.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/text/text_checks.h"
#include "web/fetch_web_page.h"

namespace lumaclip {
namespace {

using testing::ExpectText;
using testing::T;

TEST(HeaderValue, IsTheTrimmedTextAfterTheFirstColon) {
  struct Case {
    std::string line;
    std::string value;
  };
  const Case cases[] = {
      {"Location: /next", "/next"},
      {"Location:/next", "/next"},
      {"a: b: c", "b: c"},
      {"no colon here", ""},
      {"", ""},
      {":", ""},
      {"Name:    ", ""},
      {"  X  :  y z  ", "y z"},
      {"Name:\tv\t", "\tv\t"},  // a tab is not a space
      {"Name:\xA1\xA1v\xA1\xA1", "v"},
      {"User-Agent: X\r\nReferer: Y", "X\r\nReferer: Y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Shown(c.line));
    ExpectText(HeaderValue(T(c.line)), c.value);
  }
}

TEST(ScanResponseHeaders, FindsTheLocationAndTheCookies) {
  const std::string status = "HTTP/1.1 200 OK\r\n";
  struct Case {
    const char* note;
    std::string rawHeaders;
    std::string locationBefore;
    std::string location;
    std::string responseCookies;
  };
  const Case cases[] = {
      {"a redirect", "HTTP/1.1 302 Found\r\nLocation: /next\r\n\r\n", "", "/next", ""},
      {"Content-Location counts", status + "Content-Location: /x\r\n\r\n", "", "/x", ""},
      {"the last Location line wins", status + "Location: /a\r\nContent-Location: /b\r\n\r\n", "",
       "/b", ""},
      {"the Location search is case significant", status + "location: /a\r\n\r\n", "kept", "kept",
       ""},
      {"no Location line keeps the caller's value", status + "\r\n", "kept", "kept", ""},
      {"an empty Location value empties it", status + "Location:\r\n\r\n", "kept", "", ""},
      {"two cookies", status + "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n\r\n", "",
       "", "a=1; b=2"},
      {"a cookie without ';' is an empty item", status + "Set-Cookie: c=3\r\n\r\n", "", "", ""},
      {"an empty item after another", status + "Set-Cookie: a=1; path=/\r\nSet-Cookie: c=3\r\n\r\n",
       "", "", "a=1; "},
      {"the cookie line search is case significant", status + "set-cookie: a=1;\r\n\r\n", "", "",
       ""},
      {"the cut ignores case", status + "SET-COOKIE: a=1; x=Set-Cookie\r\n\r\n", "", "", "a=1"},
      {"a longer name holding the word", status + "X-Set-Cookie: q=1; y\r\n\r\n", "", "", "q=1"},
      {"no \"Set-Cookie:\" in the line", status + "Set-Cookie2: q=1;\r\nSet-Cookie: a=1;\r\n\r\n",
       "", "", "; a=1"},
      {"the item is trimmed", status + "Set-Cookie:    a=1   ; path=/\r\n\r\n", "", "", "a=1"},
      {"a cookie line holding Location:", status + "Set-Cookie: s=9; Location: /p\r\n\r\n", "",
       "s=9; Location: /p", "s=9"},
      {"headers without line ends", "HTTP/1.1 200 OK", "", "", ""},
      {"nothing", "", "kept", "kept", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    Text location = T(c.locationBefore);
    Text responseCookies = T("old=1");
    ScanResponseHeaders(T(c.rawHeaders), location, responseCookies);
    ExpectText(location, c.location);
    ExpectText(responseCookies, c.responseCookies);
  }
}

TEST(LocationFallback, FillsOnlyAnEmptyLocation) {
  const std::string raw = "HTTP/1.1 200 OK\r\nServer: s\r\n\r\n";
  struct Case {
    std::string location;
    std::string after;
  };
  const Case cases[] = {{"", raw}, {"/next", "/next"}, {" ", " "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    Text location = T(c.location);
    LocationFallback(location, T(raw));
    ExpectText(location, c.after);
  }
  Text present = Text::Literal("");
  LocationFallback(present, T(raw));
  ExpectText(present, raw);
}

}  // namespace
}  // namespace lumaclip
