// Cookie texts: name=value items joined by "; ". Reading removes every space first and splits at
// ";". MergeCookies folds the cookies a response sets into the caller's cookie text.
#pragma once

#include <cstdint>

#include "text/values.h"

namespace lumaclip {

// Rewrites `cookies` with the merged text (the response's items first, then the caller's items
// whose names the response did not set; no "=deleted" item; no byte-identical repeat) and
// `responseCookies` without its spaces. Returns a copy of the merged text.
Text MergeCookies(Text& cookies, Text& responseCookies);
// The trimmed part before the first "=" (the whole item when it has none).
Text CookieName(const Text& item);
bool HasCookieName(const TextArray& list, const Text& name);
// The pieces of `text` between separators, each distinct piece once, joined by `separator`.
Text JoinDistinct(const Text& text, const Text& separator);
// The 1-based index of the first element equal to `text`, or -1.
int32_t IndexInList(const TextArray& list, const Text& text);

}  // namespace lumaclip
