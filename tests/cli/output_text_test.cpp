// The forms of a link's result: one plain line per link whatever the page put in the address, a
// JSON object with the documented members, and a message that names the failure.
#include "cli/output_text.h"

#include <gtest/gtest.h>

#include <string>

namespace lumaclip::cli {
namespace {

LinkResult Result(LinkStatus status, std::optional<std::string> address) {
  LinkResult result;
  result.input = "http://a.test/s/1";
  result.link = result.input;
  result.status = status;
  result.address = std::move(address);
  result.bodySize = 42;
  return result;
}

TEST(OutputText, WritesOneLinePerLink) {
  EXPECT_EQ(PlainLine(Result(LinkStatus::kOk, "/v/a.mp4")), "/v/a.mp4\n");
  EXPECT_EQ(PlainLine(Result(LinkStatus::kNoAddress, std::nullopt)), "\n");
  EXPECT_EQ(PlainLine(Result(LinkStatus::kVideoMissing, "/v/a.mp4")), "\n")
      << "a failed check prints no address";
  // A page that puts line ends or terminal controls into the address cannot break the lines.
  EXPECT_EQ(PlainLine(Result(LinkStatus::kOk, "/v/a\r\n\x1b[2Jb\x7F.mp4")),
            "/v/a%0D%0A%1B[2Jb%7F.mp4\n");
  EXPECT_EQ(Printable("中文 \xD6\xD0 ok"), "中文 \xD6\xD0 ok");
}

TEST(OutputText, WritesJsonMembers) {
  EXPECT_EQ(JsonLine(Result(LinkStatus::kOk, "/v/a.mp4"), false),
            R"({"link":"http://a.test/s/1","address":"/v/a.mp4","status":"ok","bodySize":42})"
            "\n");
  LinkResult noLink;
  noLink.input = "没有链接";
  noLink.status = LinkStatus::kNoLink;
  EXPECT_EQ(JsonLine(noLink, true),
            R"({"link":null,"input":"没有链接","address":null,"status":"no-link","bodySize":0})"
            "\n");
  LinkResult checked = Result(LinkStatus::kVideoMissing, "/v/a.mp4");
  checked.check = VideoCheck{"http://a.test/v/a.mp4", "GET", 404, "text/html", std::nullopt};
  EXPECT_EQ(JsonLine(checked, false),
            R"({"link":"http://a.test/s/1","address":"/v/a.mp4","status":"video-missing",)"
            R"("bodySize":42,"check":{"address":"http://a.test/v/a.mp4","method":"GET",)"
            R"("status":404,"contentType":"text/html","size":null}})"
            "\n");
  LinkResult page = Result(LinkStatus::kOk, "/v/a.mp4");
  page.link.reset();
  page.page = "saved.html";
  EXPECT_EQ(JsonLine(page, false),
            R"({"link":null,"page":"saved.html","address":"/v/a.mp4","status":"ok","bodySize":42})"
            "\n");
}

TEST(OutputText, NamesEachFailure) {
  const struct {
    LinkStatus status;
    std::string detail;
    std::string message;
  } cases[] = {
      {LinkStatus::kOk, "", ""},
      {LinkStatus::kEmptyResponse, "",
       "lumaclip-cli: http://a.test/s/1: the page could not be fetched (empty response)\n"},
      {LinkStatus::kEmptyResponse, "HTTP/1.1 404 Not Found",
       "lumaclip-cli: http://a.test/s/1: the page could not be fetched (empty response) "
       "(HTTP/1.1 404 Not Found)\n"},
      {LinkStatus::kNoAddress, "",
       "lumaclip-cli: http://a.test/s/1: the page has no video address\n"},
      {LinkStatus::kVideoMissing, "status 404",
       "lumaclip-cli: http://a.test/s/1: the video address did not answer 2xx (status 404)\n"},
      {LinkStatus::kVideoUnreachable, "",
       "lumaclip-cli: http://a.test/s/1: the video address gave no answer\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(StatusWord(c.status)));
    LinkResult result = Result(c.status, std::nullopt);
    result.detail = c.detail;
    EXPECT_EQ(FailureMessage(result), c.message);
  }
  LinkResult longText;
  longText.input = std::string(300, 'x') + "\n";
  longText.status = LinkStatus::kNoLink;
  EXPECT_EQ(FailureMessage(longText), "lumaclip-cli: " + std::string(200, 'x') +
                                          "...: no http:// or https:// link in the input\n");
}

}  // namespace
}  // namespace lumaclip::cli
