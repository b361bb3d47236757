// The link inside share texts as apps copy them: a Chinese caption around it, in UTF-8 or in
// code page 936, glued to it or spaced, and sometimes more links after it.
#include "cli/share_text.h"

#include <gtest/gtest.h>

#include <string>

namespace lumaclip::cli {
namespace {

TEST(ShareText, FindsTheFirstLink) {
  const struct {
    std::string text;
    std::optional<std::string> link;
  } cases[] = {
      {"3.84 复制打开抖音，看看【小林的作品】今天的晚霞太美了 # 日落 "
       "https://v.douyin.test/iRNBho6u/ aBc:/ 06/25 Xyz:8am",
       "https://v.douyin.test/iRNBho6u/"},
      // The same share text in code page 936.
      {"3.84 \xB8\xB4\xD6\xC6\xB4\xF2\xBF\xAA\xB6\xB6\xD2\xF4\xA3\xAC\xBF\xB4\xBF\xB4\xA1\xBE"
       "\xD0\xA1\xC1\xD6\xB5\xC4\xD7\xF7\xC6\xB7\xA1\xBF # "
       "https://v.douyin.test/iRNBho6u/ aBc:/ 06/25 Xyz:8am",
       "https://v.douyin.test/iRNBho6u/"},
      // A caption glued to both ends of the link.
      {"看看这个视频https://v.kuaishou.test/abc123复制此链接，打开快手",
       "https://v.kuaishou.test/abc123"},
      {"\xBF\xB4\xBF\xB4\xD5\xE2\xB8\xF6\xCA\xD3\xC6\xB5"
       "https://v.kuaishou.test/abc123\xB8\xB4\xD6\xC6\xB4\xCB\xC1\xB4\xBD\xD3",
       "https://v.kuaishou.test/abc123"},
      // Several links: the first one counts, whichever scheme comes later.
      {"第一个 http://first.test/a 第二个 https://second.test/b", "http://first.test/a"},
      {"（https://v.test/x）", "https://v.test/x"},
      {"see https://v.test/x?a=1&b=2#t.", "https://v.test/x?a=1&b=2#t"},
      {"(see https://v.test/wiki/A_(b))", "https://v.test/wiki/A_(b)"},
      {"link: https://v.test/x), more", "https://v.test/x"},
      {"\"https://v.test/q\"", "https://v.test/q"},
      {"<a href='https://v.test/a'>", "https://v.test/a"},
      {"HTTPS://V.TEST/UP", "HTTPS://V.TEST/UP"},
      {"line one\nhttp://v.test/n\tnext", "http://v.test/n"},
      {"https://127.0.0.1:8080/share/1", "https://127.0.0.1:8080/share/1"},
      // A bare scheme is no link; the search goes on after it.
      {"https:// then http://v.test/b", "http://v.test/b"},
      {"httpx://v.test/ and https:/v.test", std::nullopt},
      {"复制打开抖音，没有链接", std::nullopt},
      {"", std::nullopt},
      {"https://", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<std::string_view> link = ExtractLink(c.text);
    ASSERT_EQ(link.has_value(), c.link.has_value());
    if (link) {
      EXPECT_EQ(*link, *c.link);
    }
  }
}

}  // namespace
}  // namespace lumaclip::cli
