// TextBetween: the piece between the first left marker (searched from `start`) and the next right
// marker after it. In either marker the placeholder "#引号" stands for a double quote.
#pragma once

#include <cstdint>

#include "text/values.h"

namespace lumaclip {

// `start` 0 or below searches from the first byte; `caseSensitive` false ignores A-Z case.
// Empty when either marker is missing.
Text TextBetween(const Text& text, const Text& leftMarker, const Text& rightMarker,
                 int32_t start = 0, bool caseSensitive = false);

}  // namespace lumaclip
