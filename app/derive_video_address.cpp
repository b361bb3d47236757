// The one fact the tool relies on about a share page: the preview image's address follows
// PreviewMarker and ends in ".jpg", and the video sits at the same address with ".mp4". The page is
// searched as raw bytes; nothing that is cut out is checked.
#include "app/derive_video_address.h"

#include <cstring>
#include <string_view>

#include "text/operations.h"
#include "text/text_between.h"

namespace lumaclip {

Text DeriveVideoAddress(const Bytes& pageBody) {
  // The page text is the body up to its first zero byte. It is searched in place: a page can run
  // to many megabytes, and copying it costs more than the search itself.
  std::string_view page = pageBody.View();
  if (const void* zero = std::memchr(page.data(), 0, page.size())) {
    page = page.substr(0, static_cast<const char*>(zero) - page.data());
  }
  const Text pageText = Text::Borrowed(page);
  const Text piece = TextBetween(pageText, PreviewMarker, ImageSuffix);
  return ConcatText(piece, VideoSuffix);
}

}  // namespace lumaclip
