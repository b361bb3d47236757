// Reading the status and header fields of a raw header text, as the traced request and the video
// check do.
#include <gtest/gtest.h>

#include <string>

#include "cli/traced_request.h"

namespace lumaclip::cli {
namespace {

TEST(ResponseHead, ReadsTheStatusLine) {
  const struct {
    std::string raw;
    int status;
    std::string line;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n", 200, "HTTP/1.1 200 OK"},
      {"HTTP/1.1 302 Found\r\n\r\n", 302, "HTTP/1.1 302 Found"},
      {"HTTP/1.0 404\r\n\r\n", 404, "HTTP/1.0 404"},
      {"HTTP/2 206 \r\n", 206, "HTTP/2 206 "},
      {"HTTP/1.1 20 OK\r\n", 0, "HTTP/1.1 20 OK"},
      {"HTTP/1.1 2000 OK\r\n", 0, "HTTP/1.1 2000 OK"},
      {"HTTP/1.1 abc\r\n", 0, "HTTP/1.1 abc"},
      {std::string(5000, ' '), 0, ""},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raw.substr(0, 40));
    EXPECT_EQ(StatusCode(c.raw), c.status);
    EXPECT_EQ(StatusLine(c.raw), c.line);
  }
}

TEST(ResponseHead, FindsFieldsByNameIgnoringCase) {
  const std::string raw =
      "HTTP/1.1 206 Partial Content\r\n"
      "content-type:  video/mp4 \r\n"
      "Content-Location: /elsewhere\r\n"
      "Location: /next\r\n"
      "Content-Range: bytes 0-0/123456\r\n"
      "Location: /second\r\n"
      "\r\n";
  EXPECT_EQ(HeaderField(raw, "Content-Type"), "video/mp4");
  EXPECT_EQ(HeaderField(raw, "LOCATION"), "/next") << "the whole name, the first line";
  EXPECT_EQ(HeaderField(raw, "Content-Range"), "bytes 0-0/123456");
  EXPECT_EQ(HeaderField(raw, "Content-Length"), std::nullopt);
  EXPECT_EQ(HeaderField("HTTP/1.1 200 OK", "Location"), std::nullopt);
  EXPECT_EQ(HeaderField("HTTP/1.1 200 OK\nLocation: /lf-only\n\n", "Location"), "/lf-only");
}

}  // namespace
}  // namespace lumaclip::cli
