// Reference resolution for the addresses share pages give, with the examples of RFC 3986
// section 5.4 as the yardstick.
#include "cli/address_resolution.h"

#include <gtest/gtest.h>

#include <string>

namespace lumaclip::cli {
namespace {

TEST(AddressResolution, FollowsTheStandardExamples) {
  const std::string base = "http://a/b/c/d;p?q";
  const struct {
    std::string reference;
    std::string target;
  } cases[] = {
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/g#s"},
      {";x", "http://a/b/c/;x"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},
      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reference);
    EXPECT_EQ(ResolveAddress(base, c.reference), c.target);
  }
}

TEST(AddressResolution, ReadsAddressesAsSharePagesWriteThem) {
  const struct {
    std::string base;
    std::string reference;
    std::optional<std::string> target;
  } cases[] = {
      {"https://www.v.test/share/video/123?from=app", "/v/clip.mp4",
       "https://www.v.test/v/clip.mp4"},
      {"https://www.v.test/share/video/123", "//cdn.v.test/a.mp4", "https://cdn.v.test/a.mp4"},
      {"http://127.0.0.1:8080/p/index.html", "clip.mp4", "http://127.0.0.1:8080/p/clip.mp4"},
      {"http://h.test", "v.mp4", "http://h.test/v.mp4"},
      {"http://h.test/a/", "http://other.test/v.mp4", "http://other.test/v.mp4"},
      // Spaces and line ends around or inside the reference, as a browser drops them.
      {"http://h.test/a/", "  /v/\nclip.mp4\t ", "http://h.test/v/clip.mp4"},
      // Entities are not decoded: "&amp;" stays as the page wrote it.
      {"http://h.test/", "/v.mp4?a=1&amp;b=2", "http://h.test/v.mp4?a=1&amp;b=2"},
      // A first segment with ":" that is no scheme name is a path.
      {"http://h.test/d/", "1:2.mp4", "http://h.test/d/1:2.mp4"},
      // The base's own dot segments go, as in a browser.
      {"http://h.test/a/./b/../c", "", "http://h.test/a/c"},
      // No scheme in the base and a relative reference: nothing to resolve against.
      {"h.test/page", "/v.mp4", std::nullopt},
      {"", "v.mp4", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.base + " + " + c.reference);
    EXPECT_EQ(ResolveAddress(c.base, c.reference), c.target);
  }
}

TEST(AddressResolution, TellsWebAddressesAndDropsFragments) {
  EXPECT_TRUE(IsWebAddress("http://a"));
  EXPECT_TRUE(IsWebAddress("HTTPS://a"));
  EXPECT_FALSE(IsWebAddress("ftp://a"));
  EXPECT_FALSE(IsWebAddress("/v.mp4"));
  EXPECT_FALSE(IsWebAddress("http:/a"));
  EXPECT_EQ(AsWebAddress("h.test:81/x"), "http://h.test:81/x");
  EXPECT_EQ(AsWebAddress("Https://h.test/"), "Https://h.test/");
  EXPECT_EQ(WithoutFragment("http://a/v.mp4#t=3"), "http://a/v.mp4");
  EXPECT_EQ(WithoutFragment("http://a/v.mp4"), "http://a/v.mp4");
}

}  // namespace
}  // namespace lumaclip::cli
