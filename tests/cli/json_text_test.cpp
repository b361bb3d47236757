// JSON strings from any bytes: escapes for quotes, backslashes and control bytes, UTF-8 kept, and
// every byte outside well-formed UTF-8 written as \udcXX.
#include "cli/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace lumaclip::cli {
namespace {

std::string Quoted(std::string_view bytes) {
  std::string out;
  AppendJsonString(out, bytes);
  return out;
}

TEST(JsonText, EscapesStringsFromAnyBytes) {
  const struct {
    std::string bytes;
    std::string json;
  } cases[] = {
      {"", R"("")"},
      {"plain /v/a.mp4", R"("plain /v/a.mp4")"},
      {"q\"b\\", R"("q\"b\\")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {std::string("\x00\x01\x1F\x7F", 4), R"("\u0000\u0001\u001f\u007f")"},
      {"中文 ✓ 😀", "\"中文 ✓ 😀\""},
      // Code page 936 bytes are no UTF-8: each byte is escaped on its own.
      {"\xD6\xD0\xCE\xC4", R"("\udcd6\udcd0\udcce\udcc4")"},
      // A good sequence after a bad byte is kept.
      {"\xFF\xE4\xB8\xAD", "\"\\udcff中\""},
      // Truncated, overlong, surrogate and out-of-range forms.
      {"\xE4\xB8", R"("\udce4\udcb8")"},
      {"\xC0\xAF", R"("\udcc0\udcaf")"},
      {"\xE0\x80\xAF", R"("\udce0\udc80\udcaf")"},
      {"\xED\xA0\x80", R"("\udced\udca0\udc80")"},
      {"\xF4\x90\x80\x80", R"("\udcf4\udc90\udc80\udc80")"},
      {"\xF0\x9F\x98", R"("\udcf0\udc9f\udc98")"},
      {"\x80", R"("\udc80")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    EXPECT_EQ(Quoted(c.bytes), c.json);
  }
}

TEST(JsonText, BuildsObjectsInOrder) {
  JsonObject inner;
  inner.AddNumber("status", 206).AddNull("size");
  JsonObject object;
  object.Add("link", "http://a.test/").AddOptional("address", std::nullopt);
  object.AddOptional("page", std::string("p")).AddBool("ok", false).AddObject("check", inner);
  EXPECT_EQ(object.Text(), R"({"link":"http://a.test/","address":null,"page":"p","ok":false,)"
                           R"("check":{"status":206,"size":null}})");
  EXPECT_EQ(JsonObject().Text(), "{}");
}

}  // namespace
}  // namespace lumaclip::cli
