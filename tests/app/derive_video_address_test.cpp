// From the body of a share page to the video address: whatever the page gives, ".mp4" behind it.
#include "app/derive_video_address.h"

#include <gtest/gtest.h>

#include <string>

namespace lumaclip {
namespace {

using namespace std::string_literals;

const std::string kMarker = "class=\"video-preview\" src=\"";

TEST(DeriveVideoAddress, ConstantsAreTheShareFormat) {
  EXPECT_EQ(PreviewMarker.Length(), 27);
  EXPECT_EQ(PreviewMarker.View(), kMarker);
  EXPECT_EQ(ImageSuffix.View(), ".jpg");
  EXPECT_EQ(VideoSuffix.View(), ".mp4");
}

TEST(DeriveVideoAddress, CutsThePreviewAddressAndSwapsTheSuffix) {
  const struct {
    std::string note;
    std::string body;
    std::string address;
  } cases[] = {
      {"the usual page", "<img " + kMarker + "/v/clip.jpg?w=720\" alt=\"\">", "/v/clip.mp4"},
      {"an empty body", "", ".mp4"},
      {"a zero first byte", "\0"s + kMarker + "/v/a.jpg", ".mp4"},
      {"a zero byte before the marker", "<p>\0</p>"s + kMarker + "/v/a.jpg", ".mp4"},
      {"a zero byte inside the piece", kMarker + "/v/\0a.jpg"s, ".mp4"},
      {"a zero byte after the piece", kMarker + "/v/a.jpg\0.jpg"s, "/v/a.mp4"},
      {"no marker", "<img class=\"other\" src=\"/v/a.jpg\">", ".mp4"},
      {"no .jpg after the marker", "<img src=\"/p.jpg\"><img " + kMarker + "/v/a.png\">", ".mp4"},
      {"another letter case", "<IMG CLASS=\"Video-Preview\" SRC=\"/V/Clip.JPG\">", "/V/Clip.mp4"},
      {"other spacing", "<img class=\"video-preview\"  src=\"/v/a.jpg\">", ".mp4"},
      {"single quotes", "<img class='video-preview' src='/v/a.jpg'>", ".mp4"},
      {"the other order", "<img src=\"/v/a.jpg\" class=\"video-preview\">", ".mp4"},
      {"two elements", kMarker + "/first.jpg\">" + kMarker + "/second.jpg\">", "/first.mp4"},
      {"a src of another kind", kMarker + "/v/a.png\"><img src=\"/b.jpg\">",
       "/v/a.png\"><img src=\"/b.mp4"},
      {"an entity is not decoded", kMarker + "/v?a=1&amp;b=2.jpg\"", "/v?a=1&amp;b=2.mp4"},
      {"the suffix right after the marker", kMarker + ".jpg\"", ".mp4"},
      {"the marker at the end", "<img " + kMarker, ".mp4"},
      {"the marker in the second byte of a pair", "\xB0" + kMarker + "/a.jpg", ".mp4"},
      {"the marker after a whole pair", "\xB0\xA1" + kMarker + "/a.jpg", "/a.mp4"},
      {"a suffix inside a pair is stepped over", kMarker + "\xB0.jpg/b.jpg", "\xB0.jpg/b.mp4"},
      {"two-byte text is kept as it is", kMarker + "/\xCA\xD3\xC6\xB5.jpg",
       "/\xCA\xD3\xC6\xB5.mp4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    const Bytes body = Bytes::FromBytes(c.body);
    const Text address = DeriveVideoAddress(body);
    EXPECT_TRUE(address.IsPresent());
    EXPECT_EQ(address.View(), c.address);
    EXPECT_EQ(body.View(), c.body) << "the body is read only";
  }
}

TEST(DeriveVideoAddress, AnAbsentBodyGivesTheSuffixAlone) {
  EXPECT_EQ(DeriveVideoAddress(Bytes()).View(), ".mp4");
  EXPECT_EQ(DeriveVideoAddress(Bytes::EmptyConstant()).View(), ".mp4");
}

}  // namespace
}  // namespace lumaclip
