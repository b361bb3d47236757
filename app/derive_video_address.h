// What the tool knows of a share page: the preview image's address follows PreviewMarker and ends
// in ".jpg"; the video has the same address ending in ".mp4".
#pragma once

#include "text/values.h"

namespace lumaclip {

inline const Text PreviewMarker = Text::Literal("class=\"video-preview\" src=\"");
inline const Text ImageSuffix = Text::Literal(".jpg");
inline const Text VideoSuffix = Text::Literal(".mp4");

// The piece between the first PreviewMarker and the next ".jpg" (letter case ignored) followed by
// ".mp4"; ".mp4" alone when the body is empty or has no such piece. Always present.
Text DeriveVideoAddress(const Bytes& pageBody);

}  // namespace lumaclip
